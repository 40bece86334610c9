// The entry points over the table linked into this program; kept apart so
// that tests can link the engine with tables of their own.
#include "payload/extract.h"
#include "payload/upgrade.h"

ExtractResult extractPayload(WindowHandle window, ProgressCallback callback) {
    return extractPayloadFrom(payloadTable, window, callback);
}

int removePayloadFiles(WindowHandle window, ProgressCallback callback) {
    return removePayloadFilesFrom(payloadTable, window, callback);
}

PayloadCheck checkPayload() { return checkPayloadFrom(payloadTable); }

ExtractResult upgradePayload(const char* folder, const UpgradeNotes& notes, WindowHandle window,
                             ProgressCallback callback, UpgradeOutcome* outcome) {
    return upgradePayloadFrom(payloadTable, folder, notes, window, callback, outcome);
}
