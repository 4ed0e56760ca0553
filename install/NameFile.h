#pragma once
// The name file: installDir + "cvnname.dat", holding boxName in code page
// 936, whatever the system's code page, and nothing else (no byte-order mark, no terminator, no line
// break). A file that cannot be created is logged; the installation counts as
// finished all the same.
void SaveNameFile();
