#pragma once

#include <cstddef>

// Lets this process map at most extra bytes beyond what it maps now, so that a test can see
// code cope with memory running out; false when the limit cannot be set. Meant for a child
// process (EXPECT_EXIT): the limit stays for the rest of the process's life.
bool CapAddressSpace(std::size_t extra);
