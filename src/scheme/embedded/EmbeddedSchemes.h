// The stored schemes built into the program, keyed by component name
// ("TARNIC" for BASIC, "PICASM" for the assembler listing).
#pragma once

#include "ParserRepository.h"

#include <vector>

const std::vector<TEmbeddedScheme> &EmbeddedStoredSchemes();
