// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

namespace brellan {

// Gives the system back the memory the program has freed but the allocator
// still holds. Reading the names leaves about 10 MB so, in the loader
// thread's own heap, which the allocator would otherwise keep for good.
// Only glibc has the call; elsewhere this does nothing.
void returnFreedMemoryToSystem();

} // namespace brellan
