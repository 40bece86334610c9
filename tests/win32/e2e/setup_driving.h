// The user's way through the opening stages of a run, shared by the tests
// that are about what comes after them.
#pragma once

#include <windows.h>

#include <string>

#include "scripted_user/scripted_user.h"

namespace e2e {

// Captions and control ids as the user meets them.
extern const char* const BACKDROP_CAPTION;   // "Install Tarnwick"
extern const char* const AGREEMENT_CAPTION;  // "END USER LICENSE AGREEMENT"
extern const char* const FOLDER_CAPTION;     // "Choose a Folder"
extern const char* const PROGRESS_CAPTION;   // "Setup Progress"
extern const char* const EXISTING_FOLDER_CAPTION;
extern const char* const NOT_INSTALLED_CAPTION;
extern const char* const NOT_INSTALLED_TEXT;
enum {
    AGREEMENT_TEXT_ID = 1101,
    PARENT_FOLDER_ID = 24001,
    APPLICATION_FOLDER_ID = 24002,
    BROWSE_ID = 24003,
    PROGRESS_PERCENT_ID = 1002,
    PROGRESS_ITEM_ID = 1100,
};

// Waits for the agreement and accepts it with "I Accept". False when it
// did not show.
bool acceptAgreement(scripted_user::ScriptedUser& user);

// Waits for the folder dialog, types the two edits and presses OK. False
// when the dialog did not show or an edit could not be typed into.
bool chooseFolder(scripted_user::ScriptedUser& user, const std::string& parent,
                  const std::string& application);

// The whole opening for a run into `folder` (a full path without a
// trailing separator): accept the agreement, choose the folder, and say Yes
// when asked about an existing folder (asked unless its path ends with
// "Tarnwick"). Returns when extraction is under way.
bool driveToExtraction(scripted_user::ScriptedUser& user, const std::string& folder);

// The transcript lines of that opening, to put before a test's own.
std::vector<std::string> openingTranscript(const std::string& folder);

}  // namespace e2e
