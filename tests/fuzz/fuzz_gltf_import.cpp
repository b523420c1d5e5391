// libFuzzer entry point: the glTF import must refuse or accept any bytes (a
// .glb, or a .gltf whose buffers and images are data URIs) without reading out
// of bounds; a race it makes must be valid and survive the race file's own
// writer and reader.
#include "data/formats.h"
#include "tools/forge/authoring.h"

#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    ImportOptions options;
    options.name = "Fuzz";
    options.description = "glTF";
    options.modelPath = "fuzz.gltf";
    // No files beside the model: everything it names must be inside it.
    auto nothing = [](const std::string&, std::vector<uint8_t>&) { return FileState::Missing; };
    RaceFileRecord race;
    ForgeReport report;
    const std::vector<uint8_t> bytes(data, data + size);
    if (!importGltf(options, bytes, nothing, race, report)) {
        if (report.error.empty()) std::abort(); // refused without saying why
        return 0;
    }
    const std::vector<uint8_t> file = writeRaceFile(race);
    RaceFileRecord again;
    std::string error;
    if (!parseRaceFile(file.data(), file.size(), again, &error)) std::abort();
    return 0;
}
