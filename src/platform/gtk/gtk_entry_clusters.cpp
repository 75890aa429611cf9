// Empty shapes over the characters of an entry's text that the core hides in a text box,
// laid out in time for every change.
#include "platform/gtk/gtk_entry_clusters.hpp"

#include <cstring>
#include <string>

#include "common/cluster_parts.hpp"

namespace zimoklas::gtk {
namespace {

void AddEmptyShape(PangoAttrList* list, std::size_t start, std::size_t end) {
  PangoRectangle none{0, 0, 0, 0};
  PangoAttribute* shape = pango_attr_shape_new(&none, &none);
  shape->start_index = static_cast<guint>(start);
  shape->end_index = static_cast<guint>(end);
  pango_attr_list_insert(list, shape);
}

// Gives `entry` the shapes for `text`, which it is about to hold.
void ShapeFor(GtkEntry* entry, const std::string& text) {
  if (g_utf8_validate(text.c_str(), static_cast<gssize>(text.size()), nullptr) == FALSE) return;
  PangoAttrList* list = pango_attr_list_new();
  ClusterParts parts;
  std::size_t hiddenFrom = 0;
  bool hiding = false;
  const char* begin = text.c_str();
  const char* end = begin + text.size();
  for (const char* p = begin; p < end; p = g_utf8_next_char(p)) {
    const gunichar c = g_utf8_get_char(p);
    parts.Next(c, g_unichar_ismark(c) != FALSE);
    const auto at = static_cast<std::size_t>(p - begin);
    const bool hidden = !parts.ShownInTextBox();
    if (hidden && !hiding) hiddenFrom = at;
    if (!hidden && hiding) AddEmptyShape(list, hiddenFrom, at);
    hiding = hidden;
  }
  if (hiding) AddEmptyShape(list, hiddenFrom, text.size());
  gtk_entry_set_attributes(entry, list);
  pango_attr_list_unref(list);
}

// The byte where character `position` starts; the end for a position past it or below 0.
std::size_t ByteOf(const char* text, gint position) {
  const auto chars = g_utf8_strlen(text, -1);
  if (position < 0 || position > chars) return std::strlen(text);
  return static_cast<std::size_t>(g_utf8_offset_to_pointer(text, position) - text);
}

void BeforeInsert(GtkEditable* editable, const gchar* added, gint bytes, gint* position,
                  gpointer /*data*/) {
  std::string text = gtk_entry_get_text(GTK_ENTRY(editable));
  const std::size_t at = ByteOf(text.c_str(), *position);
  text.insert(at, added, bytes < 0 ? std::strlen(added) : static_cast<std::size_t>(bytes));
  ShapeFor(GTK_ENTRY(editable), text);
}

void BeforeDelete(GtkEditable* editable, gint start, gint end, gpointer /*data*/) {
  std::string text = gtk_entry_get_text(GTK_ENTRY(editable));
  const std::size_t from = ByteOf(text.c_str(), start);
  const std::size_t to = ByteOf(text.c_str(), end);
  if (from < to) text.erase(from, to - from);
  ShapeFor(GTK_ENTRY(editable), text);
}

}  // namespace

void ShapeClustersOf(GtkEntry* entry) {
  // Both run before the entry changes its text, and so before it lays the new one out.
  g_signal_connect(entry, "insert-text", G_CALLBACK(&BeforeInsert), nullptr);
  g_signal_connect(entry, "delete-text", G_CALLBACK(&BeforeDelete), nullptr);
}

}  // namespace zimoklas::gtk
