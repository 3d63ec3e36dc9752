// Icons of program and library files: the icon groups of a PE file's resources,
// rebuilt as the bytes of an .ico file that any icon reader can decode.
#pragma once
#include <string>
#include <string_view>

// The icon group number `index` (counted over the groups in resource order) of the
// PE file `image`, as .ico file bytes. False when the file is not a PE file, has no
// such group, or its resources are damaged (every offset is checked).
bool ExtractPeIcon(std::string_view image, int index, std::string& ico);
