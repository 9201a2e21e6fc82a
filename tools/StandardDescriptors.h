// Descriptors 0, 1 and 2 held open before a tool opens any file.
//
// A tool started with one of them closed would otherwise get that number for
// the first file it opens, and its messages or output would land in that file
// (vornasm's error in the image it writes). Each closed one is opened on
// /dev/null in the direction that keeps it failing as a closed one does:
// standard input write-only, so that reading it is an error and not an empty
// input; standard output and error read-only, so that writing them fails and
// an endless writer is stopped instead of running forever into nothing.
#pragma once

namespace Vorn::Tools {

// Returns false when a descriptor could not be opened (the tool should then
// stop: it cannot tell its files from its standard streams).
bool holdStandardDescriptors();

}  // namespace Vorn::Tools
