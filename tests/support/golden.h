// Expected texts kept as data under tests/golden/, compared whole. With FOLIO_UPDATE_GOLDEN
// set, the files are written instead of compared; a rewritten file is read before it is
// committed.
#pragma once

#include <string>

// Compares actual with tests/golden/<name>.log.
void expectGolden(const std::string& name, const std::string& actual);
