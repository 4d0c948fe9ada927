#pragma once
// Rows of text printed in aligned columns, the first row as the heading.
#include <cstdio>
#include <string>
#include <vector>

namespace tolvar::cli {

using TextRow = std::vector<std::string>;

// Pads every column but the last to its widest cell, two spaces apart.
void PrintTable(std::FILE* out, const std::vector<TextRow>& rows);

}  // namespace tolvar::cli
