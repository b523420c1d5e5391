#include "tools/forge/forge.h"
#include "tools/forge/seeds.h"

#include "tools/forge/authoring.h"

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {
const char* const Usage =
    "usage: kestrion-forge COMMAND ...\n"
    "\n"
    "  defaults OUTDIR    write the default data set into OUTDIR: one race file\n"
    "                     (*.ast) per default race and \"Explosion.as\"\n"
    "  resources OUTDIR   write \"config.bmp\" (the configuration dialog's picture),\n"
    "                     \"Kestrion.ico\" (the program icon) and the icon as PNG\n"
    "                     files, OUTDIR/hicolor/SIZExSIZE/apps/kestrion.png\n"
    "  inspect FILE...    summarise race and effects files and say whether each is\n"
    "                     valid; exit status 1 when one is not\n"
    "  import MODEL -o RACE.ast --name NAME --description TEXT [options]\n"
    "                     make a race from a Wavefront OBJ model with its materials\n"
    "                     and textures, or from a glTF 2.0 model (.gltf or .glb)\n"
    "                     (kestrion-forge import --help for the options)\n"
    "  export RACE.ast OUTDIR\n"
    "                     write a race as OBJ, MTL and PNG files into OUTDIR\n"
    "  preview RACE.ast OUT.png [--size WxH]\n"
    "                     draw the race from three angles into a PNG picture\n"
    "  seeds OUTDIR       write small valid race and effects files for fuzzing into\n"
    "                     OUTDIR/race and OUTDIR/effects, and edge files at the\n"
    "                     largest accepted sizes into OUTDIR/race-edges and\n"
    "                     OUTDIR/effects-edges, and small glTF ships into OUTDIR/gltf\n"
    "  --help             show this text\n"
    "  --version          show the version\n"
    "\n"
    "OUTDIR is created when missing. The output is the same, byte for byte, on every run.\n";

std::string joinPath(const std::string& dir, const std::string& name) {
    if (dir.empty()) return name;
    char last = dir.back();
    return (last == '/' || last == '\\') ? dir + name : dir + "/" + name;
}

bool writeOne(const std::string& path, const std::vector<uint8_t>& bytes, std::string* error) {
    if (writeFileBytes(path, bytes)) return true;
    if (error)
        *error = "cannot write \"" + path +
                 "\"; check that the folder exists and that you may write there";
    return false;
}

bool makeFolder(const std::string& dir, std::string* error) {
    std::error_code code;
    std::filesystem::create_directories(dir, code);
    if (!code) return true;
    if (error)
        *error = "cannot create the folder \"" + dir + "\" (" + code.message() +
                 "); give a folder you may write to";
    return false;
}

int commandWrite(const std::vector<std::string>& args, bool resources) {
    const char* name = resources ? "resources" : "defaults";
    if (args.size() != 2) {
        std::fprintf(stderr, "kestrion-forge %s: give exactly one output folder (try --help)\n",
                     name);
        return 2;
    }
    std::string error;
    bool ok = resources ? writeResources(args[1], &error) : writeDefaultDataSet(args[1], &error);
    if (!ok) {
        std::fprintf(stderr, "kestrion-forge %s: %s\n", name, error.c_str());
        return 1;
    }
    return 0;
}

int commandInspect(const std::vector<std::string>& args) {
    if (args.size() < 2) {
        std::fprintf(stderr, "kestrion-forge inspect: name at least one file (try --help)\n");
        return 2;
    }
    int status = 0;
    for (size_t i = 1; i < args.size(); ++i) {
        std::string summary, error;
        bool valid = inspectFile(args[i], summary, &error);
        std::fputs(summary.c_str(), stdout);
        if (!valid) {
            std::fprintf(stderr, "kestrion-forge inspect: %s: %s\n", args[i].c_str(),
                         error.c_str());
            status = 1;
        }
    }
    return status;
}
} // namespace

bool writeDefaultDataSet(const std::string& outDir, std::string* error) {
    if (!makeFolder(outDir, error)) return false;
    for (const NamedRace& race : buildDefaultRaces()) {
        if (!writeOne(joinPath(outDir, race.fileName), writeRaceFile(race.record), error))
            return false;
    }
    return writeOne(joinPath(outDir, "Explosion.as"), writeEffectsFile(buildDefaultEffects()),
                    error);
}

bool writeResources(const std::string& outDir, std::string* error) {
    if (!makeFolder(outDir, error)) return false;
    std::vector<NamedRace> races = buildDefaultRaces();
    if (!writeOne(joinPath(outDir, "config.bmp"), buildConfigBitmap(races), error) ||
        !writeOne(joinPath(outDir, "Kestrion.ico"), buildIcon(races), error))
        return false;
    for (const int size : IconPngSizes) {
        const std::string side = std::to_string(size);
        const std::string folder = joinPath(outDir, "hicolor/" + side + "x" + side + "/apps");
        if (!makeFolder(folder, error) ||
            !writeOne(joinPath(folder, "kestrion.png"), buildIconPng(races, size), error))
            return false;
    }
    return true;
}

int runForge(const std::vector<std::string>& args) {
    if (args.empty()) {
        std::fputs(Usage, stderr);
        return 2;
    }
    const std::string& command = args[0];
    if (command == "--help" || command == "-h" || command == "help") {
        std::fputs(Usage, stdout);
        return 0;
    }
    if (command == "--version") {
        std::printf("kestrion-forge %s\n", KESTRION_VERSION);
        return 0;
    }
    if (command == "defaults") return commandWrite(args, false);
    if (command == "resources") return commandWrite(args, true);
    if (command == "inspect") return commandInspect(args);
    if (command == "import") return commandImport(args);
    if (command == "preview") return commandPreview(args);
    if (command == "export") return commandExport(args);
    if (command == "seeds") return commandSeeds(args);
    std::fprintf(stderr, "kestrion-forge: unknown command \"%s\" (try --help)\n", command.c_str());
    return 2;
}
