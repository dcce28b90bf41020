// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "NameIndex.h"

#include <cstddef>
#include <istream>
#include <ostream>

namespace brellan::names {

// An index as lines of text, one name a line:
// "1.3.6.1.4.1.99999.1<TAB>MODULE<TAB>name[<TAB>1=label<TAB>2=label...]",
// so that names read in another process reach this one.
void writeNameIndex(const NameIndex& index, std::ostream& out);

// The names of the lines written by writeNameIndex, at most `maxNames`; a
// line that does not read as one (a bad identifier, an empty or unsafe
// name, a bad label) is passed over.
NameIndex readNameIndex(std::istream& in, std::size_t maxNames);

} // namespace brellan::names
