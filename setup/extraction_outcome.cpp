#include "setup/extraction_outcome.h"

#include "common/bounded_text.h"

const char DAMAGED_SETUP_TEXT[] =
    "The setup program is damaged, probably by an incomplete download. Nothing has been "
    "installed. Obtain a new copy of the setup program and run it again.";

const char* extractionFailureText(ExtractResult result) {
    switch (result) {
    case EXTRACT_CANNOT_CREATE:
        return "The application was not able to create one of its component files. The disk is "
               "full, or a copy of the application is already running, or you do not have write "
               "access to the directory in which you are attempting to install the application. "
               "Check your available disk space, make sure the application is not running now, "
               "and run the setup program again.";
    case EXTRACT_WRITE_FAILED:
        return "The application was unable to finish writing a file to disk. Your hard drive is "
               "probably full. Check your available disk space, make additional space available, "
               "and run the setup program again.";
    case EXTRACT_NO_MEMORY:
        return "Insufficient memory was available for the setup procedure. Close other "
               "applications and run the setup program again.";
    case EXTRACT_DONE:
        break;
    }
    return nullptr;
}

bool formatExtractionFailureText(char* buffer, size_t size, ExtractResult result,
                                 EarlierInstallation earlier, bool serviceLost) {
    const char* text = extractionFailureText(result);
    if (!text) text = "";
    const char* restored = "";
    switch (earlier) {
    case EARLIER_NOT_TOUCHED:
        break;
    case EARLIER_RESTORED:
        restored = "\r\n\r\nThe version installed before has been restored and is unchanged.";
        break;
    case EARLIER_NOT_RESTORED:
        restored = "\r\n\r\nSome files of the version installed before could not be put back "
                   "yet. Run the setup program again to put them back.";
        break;
    }
    const char* service = serviceLost ? "\r\n\r\nThe service of the version installed before "
                                        "could not be registered again and must be reinstalled."
                                      : "";
    return formatText(buffer, size, "%s%s%s", text, restored, service);
}

bool formatExtractionFailureCaption(char* buffer, size_t size, const char* productName) {
    return formatText(buffer, size, "%s Installation Failed", productName);
}
