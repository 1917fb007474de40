# Sourced by the end-to-end tests that meet a StatusNotifier host on the
# session bus. They ask the bus with busctl, as a host does.

sni_watcher() { busctl --user status org.kde.StatusNotifierWatcher >/dev/null 2>&1; }
sni_watcher_gone() { ! sni_watcher; }
sni_items() {
  busctl --user get-property org.kde.StatusNotifierWatcher /StatusNotifierWatcher \
    org.kde.StatusNotifierWatcher RegisteredStatusNotifierItems 2>/dev/null
}
sni_has_item() { sni_items | grep -q '^as [1-9]'; }
sni_no_item() { sni_items | grep -q '^as 0'; }
# The bus name of the first registered item.
sni_item_bus() { sni_items | grep -o '"[^"/]*' | head -1 | tr -d '"'; }
# sni_item_call <Activate|SecondaryActivate|ContextMenu> [x y]
sni_item_call() {
  busctl --user call "$(sni_item_bus)" /StatusNotifierItem org.kde.StatusNotifierItem \
    "$1" ii "${2:-0}" "${3:-0}" >/dev/null
}
sni_menu_path() {
  busctl --user get-property "$(sni_item_bus)" /StatusNotifierItem org.kde.StatusNotifierItem Menu \
    | sed -n 's/^o "\(.*\)"$/\1/p'
}
sni_menu_layout() {
  busctl --user call "$(sni_item_bus)" "$(sni_menu_path)" com.canonical.dbusmenu GetLayout iias -- 0 -1 0
}
# The menu's entries in order, "|" between them, "-" for a separator.
sni_menu_entries() {
  sni_menu_layout | grep -o -E '"label" s "[^"]*"|"type" s "separator"' \
    | sed -e 's/^"label" s "\(.*\)"$/\1/' -e 's/^"type" s "separator"$/-/' | paste -sd '|'
}
# sni_menu_click <label>: what a host sends when the user picks that entry.
sni_menu_click() {
  local id
  id=$(sni_menu_layout | grep -o -E "\(ia\{sv\}av\) [0-9]+ [0-9]+ \"label\" s \"$1\"" | awk '{print $2}')
  [ -n "$id" ] || return 1
  busctl --user call "$(sni_item_bus)" "$(sni_menu_path)" com.canonical.dbusmenu Event isvu -- \
    "$id" clicked i 0 0 >/dev/null
}
