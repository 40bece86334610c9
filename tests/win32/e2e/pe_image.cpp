#include "e2e/pe_image.h"

namespace e2e {

namespace {

// Field offsets of the PE format. The optional header differs between PE32
// and PE32+ only in where the data directories start.
const uint32_t DOS_NEW_HEADER_OFFSET = 0x3C;
const uint32_t COFF_HEADER_SIZE = 20;
const uint32_t SUBSYSTEM_OFFSET = 68;
const uint32_t DIRECTORIES_PE32 = 96;
const uint32_t DIRECTORIES_PE32_PLUS = 112;
const uint32_t SECTION_HEADER_SIZE = 40;
const uint32_t IMPORT_DIRECTORY = 1;
const uint32_t DELAY_IMPORT_DIRECTORY = 13;
const uint32_t IMPORT_DESCRIPTOR_SIZE = 20;
const uint32_t DELAY_DESCRIPTOR_SIZE = 32;

class Reader {
public:
    explicit Reader(const std::vector<uint8_t>& bytes) : bytes_(bytes) {}

    bool has(uint64_t offset, uint64_t size) const {
        return offset <= bytes_.size() && size <= bytes_.size() - offset;
    }
    uint16_t u16(uint32_t offset) const {
        return static_cast<uint16_t>(bytes_[offset] | bytes_[offset + 1] << 8);
    }
    uint32_t u32(uint32_t offset) const {
        return static_cast<uint32_t>(u16(offset)) | static_cast<uint32_t>(u16(offset + 2)) << 16;
    }
    // A NUL-terminated name; false when it runs past the end of the file.
    bool text(uint32_t offset, std::string* out) const {
        out->clear();
        for (uint64_t i = offset; i < bytes_.size(); ++i) {
            if (bytes_[i] == 0) return true;
            *out += static_cast<char>(bytes_[i]);
        }
        return false;
    }

private:
    const std::vector<uint8_t>& bytes_;
};

struct Section {
    uint32_t virtualAddress, virtualSize, rawOffset, rawSize;
};

// The file offset of a relative virtual address, found through the section
// that maps it.
bool fileOffset(const std::vector<Section>& sections, uint32_t rva, uint32_t* offset) {
    for (const Section& s : sections) {
        uint32_t extent = s.virtualSize > s.rawSize ? s.virtualSize : s.rawSize;
        if (rva >= s.virtualAddress && rva - s.virtualAddress < extent) {
            if (rva - s.virtualAddress >= s.rawSize) return false;  // not stored in the file
            *offset = s.rawOffset + (rva - s.virtualAddress);
            return true;
        }
    }
    return false;
}

// Where one kind of import descriptor keeps what the walk needs.
struct DescriptorLayout {
    uint32_t size;
    uint32_t nameField;   // RVA of the DLL's name
    uint32_t namesField;  // RVA of the lookup table naming each function
    uint32_t thunksField;  // RVA of the address table, which names them too before binding
};

// Reads one DLL's lookup table: entries of `thunkSize` bytes up to a zero
// one, each an ordinal (top bit set) or the RVA of a hint and a name.
bool readFunctions(const Reader& reader, const std::vector<Section>& sections, uint32_t tableRva,
                   uint32_t thunkSize, const std::string& dll,
                   std::vector<ImportedFunction>* functions, std::string* error) {
    uint32_t offset = 0;
    if (!fileOffset(sections, tableRva, &offset)) {
        *error = dll + ": its import lookup table lies outside the sections";
        return false;
    }
    for (;; offset += thunkSize) {
        if (!reader.has(offset, thunkSize)) {
            *error = dll + ": its import lookup table runs past the end of the file";
            return false;
        }
        const uint32_t low = reader.u32(offset);
        const uint32_t high = thunkSize == 8 ? reader.u32(offset + 4) : 0;
        if (low == 0 && high == 0) return true;
        const bool byOrdinal = thunkSize == 8 ? (high & 0x80000000u) : (low & 0x80000000u);
        ImportedFunction function;
        function.dll = dll;
        if (byOrdinal) {
            function.ordinal = low & 0xFFFFu;
        } else {
            uint32_t nameOffset = 0;
            if (!fileOffset(sections, low + 2, &nameOffset) ||
                !reader.text(nameOffset, &function.name)) {
                *error = dll + ": an imported function's name lies outside the file";
                return false;
            }
        }
        functions->push_back(function);
    }
}

// Walks a table of descriptors ending in one whose name field is 0, and
// collects the DLL names and their functions.
bool readDescriptors(const Reader& reader, const std::vector<Section>& sections, uint32_t rva,
                     const DescriptorLayout& layout, uint32_t thunkSize, PeImage* image,
                     std::string* error) {
    uint32_t offset = 0;
    if (!fileOffset(sections, rva, &offset)) {
        *error = "import directory outside the sections";
        return false;
    }
    for (;; offset += layout.size) {
        if (!reader.has(offset, layout.size)) {
            *error = "import descriptors run past the end of the file";
            return false;
        }
        uint32_t nameRva = reader.u32(offset + layout.nameField);
        if (nameRva == 0) return true;
        uint32_t nameOffset = 0;
        std::string name;
        if (!fileOffset(sections, nameRva, &nameOffset) || !reader.text(nameOffset, &name)) {
            *error = "an imported DLL's name lies outside the file";
            return false;
        }
        image->importedDlls.push_back(name);
        uint32_t tableRva = reader.u32(offset + layout.namesField);
        if (tableRva == 0) tableRva = reader.u32(offset + layout.thunksField);
        if (!readFunctions(reader, sections, tableRva, thunkSize, name,
                           &image->importedFunctions, error)) {
            return false;
        }
    }
}

}  // namespace

bool readPeImage(const std::vector<uint8_t>& file, PeImage* image, std::string* error) {
    Reader reader(file);
    if (!reader.has(0, 64) || file[0] != 'M' || file[1] != 'Z') {
        *error = "no MZ header";
        return false;
    }
    const uint32_t pe = reader.u32(DOS_NEW_HEADER_OFFSET);
    if (!reader.has(pe, 4 + COFF_HEADER_SIZE) || reader.u32(pe) != 0x00004550) {
        *error = "no PE signature";
        return false;
    }
    const uint32_t coff = pe + 4;
    image->machine = reader.u16(coff);
    const uint16_t sectionCount = reader.u16(coff + 2);
    const uint16_t optionalSize = reader.u16(coff + 16);
    const uint32_t optional = coff + COFF_HEADER_SIZE;
    if (!reader.has(optional, optionalSize) || optionalSize < 2) {
        *error = "optional header past the end of the file";
        return false;
    }
    image->optionalMagic = reader.u16(optional);
    uint32_t directories = 0;
    if (image->optionalMagic == OPTIONAL_MAGIC_PE32) {
        directories = DIRECTORIES_PE32;
    } else if (image->optionalMagic == OPTIONAL_MAGIC_PE32_PLUS) {
        directories = DIRECTORIES_PE32_PLUS;
    } else {
        *error = "optional header is neither PE32 nor PE32+";
        return false;
    }
    if (optionalSize < directories || SUBSYSTEM_OFFSET + 2 > optionalSize) {
        *error = "optional header too short";
        return false;
    }
    image->subsystem = reader.u16(optional + SUBSYSTEM_OFFSET);
    // The flags follow the subsystem in both forms of the header.
    image->dllCharacteristics = reader.u16(optional + SUBSYSTEM_OFFSET + 2);
    const uint32_t directoryCount = reader.u32(optional + directories - 4);

    std::vector<Section> sections;
    const uint32_t sectionTable = optional + optionalSize;
    if (!reader.has(sectionTable, uint64_t{sectionCount} * SECTION_HEADER_SIZE)) {
        *error = "section table past the end of the file";
        return false;
    }
    for (uint32_t i = 0; i < sectionCount; ++i) {
        const uint32_t at = sectionTable + i * SECTION_HEADER_SIZE;
        sections.push_back({reader.u32(at + 12), reader.u32(at + 8), reader.u32(at + 20),
                            reader.u32(at + 16)});
    }

    image->importedDlls.clear();
    image->importedFunctions.clear();
    const uint32_t thunkSize = image->optionalMagic == OPTIONAL_MAGIC_PE32 ? 4 : 8;
    struct Table {
        uint32_t directory;
        DescriptorLayout layout;
    };
    // Delay-load descriptors of the current form hold RVAs, as ordinary
    // ones do.
    for (const Table& table : {Table{IMPORT_DIRECTORY, {IMPORT_DESCRIPTOR_SIZE, 12, 0, 16}},
                               Table{DELAY_IMPORT_DIRECTORY, {DELAY_DESCRIPTOR_SIZE, 4, 16, 12}}}) {
        const uint32_t entry = optional + directories + table.directory * 8;
        if (table.directory >= directoryCount || entry + 8 > optional + optionalSize) continue;
        const uint32_t rva = reader.u32(entry);
        if (rva == 0) continue;
        if (!readDescriptors(reader, sections, rva, table.layout, thunkSize, image, error)) {
            return false;
        }
    }
    return true;
}

}  // namespace e2e
