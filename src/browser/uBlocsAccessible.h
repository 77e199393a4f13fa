#pragma once

// Tiles are drawn by the program, so assistive tools learn of them from
// interfaces of ours: the grid is a list that allows several selected items,
// each tile an item named after its caption that says whether it is selected.
void installBlocsAccessibility();
