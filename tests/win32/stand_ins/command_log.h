// The record that the stand-in programs keep of how they were started, in
// commands.log in their current directory (setup starts the product's
// programs with the data folder current), one line per record:
//
//   <own file name, lower case> TAB "start" TAB <command line> CR LF
//   <own file name, lower case> TAB "end" CR LF
//
// In the command line every byte below 0x20 is written as <XX>, two
// upper-case hex digits (a line feed is <0A>), so that one record stays one
// line whatever setup passed.
#pragma once

#include <windows.h>

namespace stand_in {

enum { kRecordSize = 4096 };

// This program's file name without its folder, in lower case; "" when the
// system does not say.
inline void ownName(char* out, int size) {
    char path[MAX_PATH];
    out[0] = '\0';
    const DWORD length = GetModuleFileNameA(nullptr, path, sizeof(path));
    if (length == 0 || length >= sizeof(path)) return;
    const char* name = path;
    for (const char* p = path; *p; ++p)
        if (*p == '\\' || *p == '/') name = p + 1;
    lstrcpynA(out, name, size);
    CharLowerA(out);
}

// Appends `text` to `record` at `*used`; cut short rather than overrun,
// which the record's size makes rare enough for a test program.
inline void put(char* record, int* used, const char* text) {
    for (; *text && *used < kRecordSize - 1; ++text) record[(*used)++] = *text;
    record[*used] = '\0';
}

// Appends one whole record to commands.log. Writers open it without write
// sharing, so no two records can interleave: one that finds it open tries
// again for a few seconds. Returns whether the record was written.
inline bool appendRecord(const char* record) {
    for (int attempt = 0; attempt < 100; ++attempt) {
        HANDLE log = CreateFileA("commands.log", GENERIC_WRITE, FILE_SHARE_READ, nullptr, OPEN_ALWAYS,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
        if (log == INVALID_HANDLE_VALUE) {
            Sleep(50);
            continue;
        }
        SetFilePointer(log, 0, nullptr, FILE_END);
        DWORD written = 0;
        const DWORD length = static_cast<DWORD>(lstrlenA(record));
        const bool whole = WriteFile(log, record, length, &written, nullptr) && written == length;
        CloseHandle(log);
        return whole;
    }
    return false;
}

// A record begins with the program's own file name and the record's kind.
inline int beginRecord(char* record, const char* kind) {
    char name[MAX_PATH];
    int used = 0;
    record[0] = '\0';
    ownName(name, sizeof(name));
    put(record, &used, name);
    put(record, &used, kind);
    return used;
}

// "<name>\tstart\t<command line>\r\n"
inline bool recordStart() {
    static const char hex[] = "0123456789ABCDEF";
    char record[kRecordSize];
    int used = beginRecord(record, "\tstart\t");
    for (const char* p = GetCommandLineA(); *p; ++p) {
        const unsigned char byte = static_cast<unsigned char>(*p);
        if (byte < 0x20) {
            const char escaped[] = {'<', hex[byte >> 4], hex[byte & 15], '>', '\0'};
            put(record, &used, escaped);
        } else {
            const char plain[] = {static_cast<char>(byte), '\0'};
            put(record, &used, plain);
        }
    }
    put(record, &used, "\r\n");
    return appendRecord(record);
}

// "<name>\tend\r\n"
inline bool recordEnd() {
    char record[kRecordSize];
    beginRecord(record, "\tend\r\n");
    return appendRecord(record);
}

}  // namespace stand_in
