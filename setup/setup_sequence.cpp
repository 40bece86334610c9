#include "setup/setup_sequence.h"

#include "payload/extract.h"
#include "setup/extraction_outcome.h"
#include "setup/installer_config.h"
#include "setup/setup_state.h"
#include "ui/message_box.h"

namespace {

// Read once at the start. GetVersionExA cannot fail with a correctly sized
// record; should it fail anyway, the record stays zeroed and the run counts
// as the Windows 95 family (platform 0), which skips the NT-only stages.
DWORD queryPlatformId() {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;  // 148 bytes
    GetVersionExA(&version);
    return version.dwPlatformId;
}

// Extraction of the payload into the current directory, which is the data
// folder by now.
ExtractResult extractionStage() {
    return extractPayload(nullptr, nullptr);
}

// A failed extraction: tell the user, then take back the payload files
// that the run left in the data folder. Directories stay.
void extractionFailureStage(ExtractResult result) {
    if (!formatExtractionFailureCaption(setupState.scratchText, sizeof setupState.scratchText,
                                        installerConfig.productName)) {
        lstrcpynA(setupState.scratchText, "Installation Failed", sizeof setupState.scratchText);
    }
    showWarning(setupState.backdropWindow, setupState.scratchText, extractionFailureText(result));
    removePayloadFiles(nullptr, nullptr);
}

}  // namespace

int runSetup(HINSTANCE instance) {
    setupState.instance = instance;
    setupState.platformId = queryPlatformId();

    ExtractResult result = extractionStage();
    if (result != EXTRACT_DONE) {
        extractionFailureStage(result);
        return 0;
    }
    return 0;
}
