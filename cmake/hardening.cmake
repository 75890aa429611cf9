# Debian's usual hardening for the native program and everything built with it, the flags
# `dpkg-buildflags` gives with hardening=+all: checked string and memory functions,
# stack protector, read-only relocations bound at start-up, and position-independent
# executables. The checked functions need the optimiser, so they come with the
# optimising configurations only.
include(CheckPIESupported)
check_pie_supported(LANGUAGES C CXX)
set(CMAKE_POSITION_INDEPENDENT_CODE ON)

add_compile_options(
  -fstack-protector-strong -Wformat -Werror=format-security
  "$<$<CONFIG:Release,RelWithDebInfo,MinSizeRel>:-U_FORTIFY_SOURCE;-D_FORTIFY_SOURCE=2>")
add_link_options(-Wl,-z,relro -Wl,-z,now)
