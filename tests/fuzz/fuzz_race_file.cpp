// libFuzzer entry point: the race file parser must reject or accept any bytes
// without reading out of bounds; what it accepts must survive a rewrite and
// load (against the null GL) and release without a fault or a leak.
#include "data/formats.h"
#include "data/race_reader.h"
#include "gl/null_gl.h"

#include <algorithm>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool glReady = (installNullGL(), true);
    (void)glReady;

    RaceFileRecord record;
    std::string error;
    if (!parseRaceFile(data, size, record, &error)) return 0;
    std::string name, description;
    if (!parseRaceHead(data, size, name, description, nullptr) || name != record.raceName)
        std::abort();
    // Accepted files are rewritten byte for byte up to the end of the shield mesh.
    std::vector<uint8_t> again = writeRaceFile(record);
    if (again.size() > size || !std::equal(again.begin(), again.end(), data)) std::abort();

    RaceData race;
    if (loadRaceRecord(record, race) != race.meshes) std::abort();
    releaseRaceData(race);
    return 0;
}
