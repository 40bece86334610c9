// The extraction as the run's decisions see it: the payload check, the
// extraction with its undo, and journals that ended runs left behind, all
// as the test scripts them. Linked only where the real ones are not.
#include <string>

#include "payload/extract.h"
#include "payload/upgrade.h"
#include "support/fake_machine_state.h"

using fake_machine::key;
using fake_machine::machine;
using fake_machine::note;

PayloadCheck checkPayload() {
    note("check payload");
    return machine.payloadDamaged ? PAYLOAD_DAMAGED : PAYLOAD_INTACT;
}

// A journal left in a folder is finished once; a failed step keeps it.
void finishUpgradeIn(const char* folder, UpgradeOutcome* outcome) {
    note(std::string("finish journal in ") + folder);
    *outcome = UpgradeOutcome();
    auto found = machine.journals.find(key(folder));
    if (found == machine.journals.end()) return;
    *outcome = found->second;
    if (outcome->journalRemoved) machine.journals.erase(found);
}

ExtractResult upgradePayload(const char* folder, const UpgradeNotes& notes, WindowHandle window,
                             ProgressCallback callback, UpgradeOutcome* outcome) {
    std::string line = "extract into " + machine.currentDirectory;
    if (key(folder) != key(machine.currentDirectory)) line += std::string(" (folder ") + folder + ")";
    if (notes.serviceRemoved) line += " (service removed)";
    if (notes.earlierFolder[0]) line += std::string(" (earlier ") + notes.earlierFolder + ")";
    note(line);
    if (callback) callback(window, "tarnwick.exe", 0);
    *outcome = UpgradeOutcome();
    if (machine.extraction != EXTRACT_DONE) *outcome = machine.extractionOutcome;
    return machine.extraction;
}
