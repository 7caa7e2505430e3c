// kxscheme sub-commands that deal with the stored form and the compressor.
#pragma once

// Runs argv[1] when it is one of these sub-commands and returns the exit
// status; returns -1 when argv[1] is not one of them.
int RunStoredCommand(int argc, char **argv);
// One line per sub-command, for the usage text.
const char *StoredCommandsUsage();

class TSyntaxMemoParser;
// Loads p from path when the file holds a stored form: 1 loaded, 0 not a
// stored form (compile it instead), -1 failed (reported on stderr).
int LoadStoredScheme(TSyntaxMemoParser &p, const char *path);
