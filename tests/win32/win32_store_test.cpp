// The registry store under Wine: REG_SZ round trips, defaults for missing values and for
// values of another type or length, refused writes, and the machine-wide level.
#include <gtest/gtest.h>
#include <windows.h>

#include <string>

#include "platform/win32/win32_store.hpp"
#include "settings/module1.hpp"
#include "settings/settings.hpp"

namespace zimoklas::win32 {
namespace {

// Each test works below its own scratch key, removed afterwards.
class RegistryStoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    base_ = L"Software\\ZimoklasTests\\" + std::to_wstring(GetCurrentProcessId()) + L"\\" +
            std::to_wstring(++counter_);
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str()); }

  // The machine-wide level lies in a scratch key too.
  RegistryStore Store() const {
    return RegistryStore(HKEY_CURRENT_USER, base_, HKEY_CURRENT_USER, base_ + L"\\Machine");
  }
  std::wstring SectionPath() const { return base_ + L"\\Ombra\\Zimoklas"; }
  std::wstring MachineSectionPath() const { return base_ + L"\\Machine\\Ombra\\Zimoklas"; }

  void Put(const wchar_t* name, DWORD type, const void* data, DWORD bytes) {
    PutUnder(SectionPath(), name, type, data, bytes);
  }
  void PutUnder(const std::wstring& path, const wchar_t* name, DWORD type, const void* data,
                DWORD bytes) {
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, nullptr, 0, KEY_SET_VALUE,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(key, name, 0, type, static_cast<const BYTE*>(data), bytes),
              ERROR_SUCCESS);
    RegCloseKey(key);
  }
  void PutText(const wchar_t* name, const std::wstring& text, bool terminated = true) {
    const auto bytes = static_cast<DWORD>((text.size() + (terminated ? 1 : 0)) * sizeof(wchar_t));
    Put(name, REG_SZ, text.c_str(), bytes);
  }
  void PutMachineText(const wchar_t* name, const std::wstring& text) {
    PutUnder(MachineSectionPath(), name, REG_SZ, text.c_str(),
             static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
  }
  bool SectionExists() const { return KeyExists(SectionPath()); }
  bool KeyExistsUnderBase(const std::wstring& name) const {
    return KeyExists(base_ + L"\\" + name);
  }
  static bool KeyExists(const std::wstring& path) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, path.c_str(), 0, KEY_READ, &key) != ERROR_SUCCESS) {
      return false;
    }
    RegCloseKey(key);
    return true;
  }

  std::wstring base_;
  static inline int counter_ = 0;
};

TEST_F(RegistryStoreTest, WritesRegSzTextThatReadsBackUnchanged) {
  RegistryStore store = Store();
  const std::string greeting = "Vesel\u00E9 v\u00E1noce a \u0161\u0165astn\u00FD nov\u00FD rok...";
  ASSERT_TRUE(store.WriteSetting("Ombra", "Zimoklas", "Text1", greeting));
  ASSERT_TRUE(store.WriteSetting("Ombra", "Zimoklas", "Text2", ""));
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "Text1", "x"), greeting);
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "Text2", "P.F."), "")
      << "an empty stored text is a value, not a missing one";

  // What other programs see: a terminated REG_SZ under base\Ombra\Zimoklas.
  wchar_t buffer[64] = {};
  DWORD type = 0;
  DWORD bytes = sizeof(buffer);
  ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, SectionPath().c_str(), L"Text1", RRF_RT_ANY, &type,
                         buffer, &bytes),
            ERROR_SUCCESS);
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  EXPECT_EQ(std::wstring(buffer),
            L"Vesel\u00E9 v\u00E1noce a \u0161\u0165astn\u00FD nov\u00FD rok...");
  EXPECT_EQ(bytes, (std::wstring(buffer).size() + 1) * sizeof(wchar_t));

  ASSERT_TRUE(store.WriteSetting("Ombra", "Zimoklas", "Text1", "Ahoj"));
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "Text1", "x"), "Ahoj") << "replaces the value";
}

TEST_F(RegistryStoreTest, MissingValuesGiveTheFallbackAndReadingCreatesNothing) {
  RegistryStore store = Store();
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "SnihR", "255"), "255");
  EXPECT_FALSE(SectionExists());
  PutText(L"SnihG", L"12");
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "SnihR", "255"), "255");
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "SnihG", "255"), "12");
  EXPECT_EQ(store.ReadSetting("Ombra", "Jinde", "SnihG", "255"), "255") << "another section";
}

TEST_F(RegistryStoreTest, ValuesOfAnotherTypeGiveTheFallback) {
  const DWORD number = 7;
  const BYTE binary[] = {'1', 0, 0, 0};
  const wchar_t multi[] = L"1\0\0";
  const wchar_t expandable[] = L"1";
  Put(L"SnihR", REG_DWORD, &number, sizeof(number));
  Put(L"SnihG", REG_BINARY, binary, sizeof(binary));
  Put(L"SnihB", REG_MULTI_SZ, multi, sizeof(multi));
  Put(L"pf", REG_EXPAND_SZ, expandable, sizeof(expandable));
  RegistryStore store = Store();
  for (const char* key : {"SnihR", "SnihG", "SnihB", "pf"}) {
    EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", key, "fallback"), "fallback") << key;
  }

  // Through the readers: every key falls back to its own default.
  settings::Module1 module;
  settings::ReadStartupSettings(store, module);
  EXPECT_EQ(module.SnowRed, 255);
  EXPECT_EQ(module.SnowGreen, 255);
  EXPECT_EQ(module.SnowBlue, 255);
  EXPECT_EQ(module.UsePfYear, kTrue);
}

TEST_F(RegistryStoreTest, OverlongValuesAreNeitherReadNorWritten) {
  const std::wstring longest(RegistryStore::kMaxValueUnits, L'a');
  const std::wstring tooLong(RegistryStore::kMaxValueUnits + 1, L'a');
  PutText(L"Text1", longest);
  PutText(L"Text2", tooLong);
  PutText(L"pf", tooLong, false);
  RegistryStore store = Store();
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "Text1", "x").size(), longest.size());
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "Text2", "x"), "x");
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "pf", "x"), "x");

  EXPECT_FALSE(store.WriteSetting("Ombra", "Zimoklas", "Text1", std::string(tooLong.size(), 'b')));
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "Text1", "x").size(), longest.size())
      << "a refused write leaves the stored value alone";
  EXPECT_FALSE(store.WriteSetting("Ombra", "Zimoklas", "Text2", std::string("a\0b", 3)))
      << "a NUL would cut the text on the way back";
}

TEST_F(RegistryStoreTest, TextIsTakenUpToItsFirstNulWithOrWithoutATerminator) {
  PutText(L"SnihR", L"128", false);
  Put(L"SnihG", REG_SZ, L"64\0zzz", 7 * sizeof(wchar_t));
  Put(L"SnihB", REG_SZ, L"", 0);
  RegistryStore store = Store();
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "SnihR", "255"), "128");
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "SnihG", "255"), "64");
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "SnihB", "255"), "");
}

TEST_F(RegistryStoreTest, AWriteTheRegistryRefusesReportsFalse) {
  // A volatile key cannot hold a non-volatile child, so creating the section fails.
  HKEY parent = nullptr;
  ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, base_.c_str(), 0, nullptr, REG_OPTION_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &parent, nullptr),
            ERROR_SUCCESS);
  RegCloseKey(parent);
  RegistryStore store = Store();
  EXPECT_FALSE(store.WriteSetting("Ombra", "Zimoklas", "SnihR", "1"));
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "SnihR", "255"), "255");

  // A save of all six names the first key and the system's reason.
  const std::optional<settings::SaveFailure> failure =
      settings::WriteAll(store, settings::SavedValues{});
  ASSERT_TRUE(failure.has_value());
  EXPECT_EQ(failure->key, "SnihR");
  EXPECT_FALSE(failure->reason.empty());
  EXPECT_TRUE(failure->storeUnchanged);
}

// A save refused at any one of the six keys leaves the registry as it was before it: old
// values with their old type and data, no new values, no new keys.
TEST_F(RegistryStoreTest, SaveRefusedHalfwayPutsBackWhatItWrote) {
  const DWORD number = 7;
  const std::string_view keys[] = {settings::kKeySnihR, settings::kKeySnihG, settings::kKeySnihB,
                                   settings::kKeyText1, settings::kKeyText2, settings::kKeyPf};
  settings::SavedValues values;
  values.red = 1;
  values.text1 = "nový";
  values.text2 = "druhý";
  values.checkState = settings::kUnchecked;
  for (const bool sectionExisted : {false, true}) {
    for (const std::string_view refused : keys) {
      SCOPED_TRACE(std::string(refused) + (sectionExisted ? " over old values" : " on empty"));
      RegDeleteTreeW(HKEY_CURRENT_USER, base_.c_str());
      if (sectionExisted) {
        PutText(L"SnihG", L"12");
        Put(L"SnihB", REG_DWORD, &number, sizeof(number));
        PutText(L"Text1", L"starý");
      }
      RegistryStore store = Store();
      store.InjectRefusal(std::string(refused));
      const std::optional<settings::SaveFailure> failure = settings::WriteAll(store, values);
      ASSERT_TRUE(failure.has_value());
      EXPECT_EQ(failure->key, refused);
      EXPECT_NE(failure->reason.find("(5)"), std::string::npos) << failure->reason;
      EXPECT_TRUE(failure->storeUnchanged);
      EXPECT_EQ(failure->undone, refused != settings::kKeySnihR);

      EXPECT_EQ(SectionExists(), sectionExisted);
      EXPECT_EQ(KeyExistsUnderBase(L"Ombra"), sectionExisted) << "created keys are removed";
      if (!sectionExisted) continue;
      DWORD type = 0;
      DWORD data = 0;
      DWORD bytes = sizeof(data);
      ASSERT_EQ(RegGetValueW(HKEY_CURRENT_USER, SectionPath().c_str(), L"SnihB", RRF_RT_ANY, &type,
                             &data, &bytes),
                ERROR_SUCCESS);
      EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
      EXPECT_EQ(data, number);
      EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "SnihG", "x"), "12");
      EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "Text1", "x"), "starý");
      for (const char* absent : {"SnihR", "Text2", "pf"}) {
        EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", absent, "x"), "x") << absent;
      }
    }
  }
}

TEST_F(RegistryStoreTest, MachineWideValuesStandBehindTheUsersAndAreNeverWritten) {
  RegistryStore store = Store();
  settings::Module1 module;
  settings::ReadStartupSettings(store, module);
  EXPECT_EQ(module.SnowRed, 255) << "no machine-wide key: the design's default";

  PutMachineText(L"SnihR", L"10");
  PutMachineText(L"SnihG", L"abc");
  PutMachineText(L"Text1", L"Firma přeje");
  const DWORD number = 0;
  PutUnder(MachineSectionPath(), L"pf", REG_DWORD, &number, sizeof(number));
  PutText(L"SnihR", L"20");
  settings::ReadStartupSettings(store, module);
  EXPECT_EQ(module.SnowRed, 20) << "the user's value wins";
  EXPECT_EQ(module.SnowGreen, 255) << "a bad machine-wide value counts as a bad stored value";
  EXPECT_EQ(module.GreetingText, "Firma přeje");
  EXPECT_EQ(module.UsePfYear, kTrue) << "a value of another type counts as missing";

  ASSERT_EQ(settings::WriteAll(store, {20, 255, 255, module.GreetingText, "P.F.", 1}),
            std::nullopt);
  EXPECT_EQ(store.ReadSetting("Ombra", "Zimoklas", "Text1", "x"), "Firma přeje")
      << "the user's store holds all six";
  EXPECT_EQ(store.ReadMachineSetting("Ombra", "Zimoklas", "SnihR"), "10") << "unchanged";
}

}  // namespace
}  // namespace zimoklas::win32
