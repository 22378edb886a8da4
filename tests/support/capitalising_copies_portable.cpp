// The capitalising copy of a build without wide copies.
#include "tests/support/capitalising_copies.h"

#include "library/capitalising_copy.h"

std::vector<NamedCopy> CapitalisingCopies() { return {{"chosen", &CopyCapitalised}}; }
