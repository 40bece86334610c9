#include "payload/payload_names.h"

#include <string.h>

size_t longestDataFolderName(const PayloadTable& table) {
    size_t longest = UPGRADE_JOURNAL_NAME_LENGTH;
    for (int32_t i = 0; i < table.fileCount; ++i) {
        const char* name = table.fileNames[i];
        size_t length = strlen(name) + KEPT_SUFFIX_LENGTH;
        if (!hasSystemPrefix(name) && length > longest) longest = length;
    }
    return longest;
}
