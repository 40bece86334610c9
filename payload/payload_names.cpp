#include "payload/payload_names.h"

#include <string.h>

size_t longestDataFolderName(const PayloadTable& table) {
    size_t longest = 0;
    for (int32_t i = 0; i < table.fileCount; ++i) {
        const char* name = table.fileNames[i];
        bool system = strncmp(name, "SYSTEM", 6) == 0 && (name[6] == '/' || name[6] == '\\');
        size_t length = strlen(name);
        if (!system && length > longest) longest = length;
    }
    return longest;
}
