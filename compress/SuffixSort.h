#pragma once
// The suffix order of a byte text, as the block sort needs it.
#include <cstdint>

#include "compress/BZip2BlockSort.h"

namespace lw::bz {

// Sorts the suffixes of text[0, n) (n >= 1; a suffix sorts before any longer one it begins)
// into order[0, n). bwt[i] gets the byte before suffix order[i], but for suffix 0's. The text
// needs 8 readable bytes after its end.
void SortSuffixes(const uint8_t* text, int32_t* order, int32_t n, TBlockSortWork& work, uint8_t* bwt);

} // namespace lw::bz
