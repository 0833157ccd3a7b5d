#!/usr/bin/env bash
# The host's form controls: a file list box over a folder, a list view and a tree view filled
# through their members, and the arrays the control reads from them.
set -euo pipefail

folder="$DEMO_DIR/project"
mkdir -p "$folder/src" "$folder/docs"
for f in readme.txt notes.txt data.csv budget.csv logo.png .secret.txt; do echo x >"$folder/$f"; done
echo "--- the folder $folder"
ls -A "$folder"

requests=(
  '{"create":"VB.FileListBox","as":"flb"}'
  "{\"on\":\"flb\",\"put\":\"Path\",\"value\":\"$folder\"}"
  '{"on":"flb","put":"Pattern","value":"*.txt;*.csv"}'
  '{"let":"files","value":[]}'
  '{"call":"FileListBoxToOneDArray","args":[{"obj":"flb"},{"var":"files"}]}'
  '{"create":"MSComctlLib.ListViewCtrl","as":"lv"}'
  '{"on":"lv","get":"ColumnHeaders","as":"ch"}'
  '{"on":"ch","call":"Add","args":[{"missing":true},{"missing":true},"Part"]}'
  '{"on":"ch","call":"Add","args":[{"missing":true},{"missing":true},"Qty"]}'
  '{"on":"lv","get":"ListItems","as":"li"}'
  '{"on":"li","call":"Add","args":[{"missing":true},"bolt","Bolt M6"],"as":"i1"}'
  '{"on":"i1","put":"SubItems","args":[1],"value":"120"}'
  '{"on":"li","call":"Add","args":[{"missing":true},"nut","Nut M6"],"as":"i2"}'
  '{"on":"i2","put":"SubItems","args":[1],"value":"300"}'
  '{"let":"parts","value":[]}'
  '{"call":"ListViewToArray","args":[{"obj":"lv"},{"var":"parts"},false,true]}'
  '{"create":"MSComctlLib.TreeCtrl","as":"tv"}'
  '{"on":"tv","get":"Nodes","as":"nodes"}'
  '{"on":"nodes","call":"Add","args":[{"missing":true},{"missing":true},"asm","Assembly"]}'
  '{"on":"nodes","call":"Add","args":["asm",4,"frame","Frame"]}'
  '{"on":"nodes","call":"Add","args":["frame",4,"bolt","Bolt M6"]}'
  '{"on":"nodes","call":"Add","args":["asm",4,"panel","Panel"]}'
  '{"let":"outline","value":[]}'
  '{"call":"TreeViewToTwoDArray","args":[{"obj":"tv"},{"var":"outline"},true]}'
  '{"create":"MSComctlLib.TreeCtrl","as":"copy"}'
  '{"call":"TwoDArrayToTreeView","args":[{"var":"outline"},{"obj":"copy"}]}'
  '{"on":"copy","get":"Nodes","as":"copied"}'
  '{"on":"copied","get":"Item","args":[3],"as":"third"}'
  '{"on":"third","get":"FullPath"}'
)
echo "--- a session: requests (>) and answers (<)"
transcript "${requests[@]}"
