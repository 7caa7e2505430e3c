// Stored-form and compressor sub-commands of kxscheme (none yet).
#include "StoredCommands.h"

int RunStoredCommand(int, char **) { return -1; }
const char *StoredCommandsUsage() { return ""; }
