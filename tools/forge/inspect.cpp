// `kestrion-forge inspect`: a readable summary of race and effects files.
#include "data/race_data.h"
#include "tools/forge/forge.h"
#include "tools/forge/geometry.h"

#include <cstdio>

namespace {
std::string format(const char* pattern, double a, double b, double c) {
    char buffer[128];
    std::snprintf(buffer, sizeof buffer, pattern, a, b, c);
    return buffer;
}

std::string sizeText(const ImageRecord& image) {
    return std::to_string(image.width) + "x" + std::to_string(image.height);
}

std::string colourText(const float* c) {
    return format("(%.2f, %.2f, %.2f)", c[0], c[1], c[2]);
}

bool sideOk(int32_t side) {
    return side > 0 && (side & (side - 1)) == 0;
}

void checkImage(Findings& findings, const ImageRecord& image, const std::string& what) {
    if (!sideOk(image.width) || !sideOk(image.height))
        findings.faults.push_back(what + " is " + sizeText(image) +
                                  "; OpenGL 1.1 needs power-of-two sides");
}

// A sprite needs a clear surround, or it shows as a square; and something to show.
void checkAlpha(Findings& findings, const ImageRecord& image, const std::string& what) {
    bool clear = false, visible = false;
    for (size_t i = 3; i < image.pixels.size(); i += 4) {
        clear = clear || image.pixels[i] == 0;
        visible = visible || image.pixels[i] >= 16;
    }
    if (!clear)
        findings.warnings.push_back(what + " has no transparent pixel: it shows as a square");
    if (!visible) findings.warnings.push_back(what + " is entirely transparent");
}

std::string meshText(const MeshRecord& mesh) {
    return std::to_string(mesh.positions.size()) + " vertices, " +
           std::to_string(mesh.triangles.size()) + " triangles";
}

std::string extent(const std::vector<const MeshRecord*>& meshes) {
    Bounds b = boundsOf(meshes);
    return format("%.2f x %.2f x %.2f units", b.high.x - b.low.x, b.high.y - b.low.y,
                  b.high.z - b.low.z);
}

std::string summariseRace(const RaceFileRecord& race) {
    std::string s;
    s += "  race \"" + race.raceName + "\", \"" + race.description + "\"\n";
    s += "  fleet entry \"" + fleetEntryText(race.raceName, 20, race.description) + "\" (" +
         std::to_string(fleetEntryText(race.raceName, 20, race.description).size()) + " bytes)\n";
    s += "  textures " + std::to_string(race.textures.size()) + ":";
    for (const ImageRecord& t : race.textures)
        s += " " + sizeText(t);
    s += "\n";
    std::vector<const MeshRecord*> hull;
    for (const PartRecord& p : race.parts)
        hull.push_back(&p.mesh);
    s += "  parts " + std::to_string(race.parts.size()) + ", " + extent(hull) + ":\n";
    for (size_t i = 0; i < race.parts.size(); ++i) {
        s += "    " + std::to_string(i) + ": " + meshText(race.parts[i].mesh) + ", texture " +
             std::to_string(race.parts[i].textureIndex) + "\n";
    }
    s += "  beam near " + colourText(race.beamColourNear) + ", far " +
         colourText(race.beamColourFar) + "; shield " + colourText(race.shieldColour) + "\n";
    s += "  missile image " + sizeText(race.projectile) + "\n";
    s += "  shield mesh " + meshText(race.shield) + ", " + extent({&race.shield}) + "\n";
    return s;
}

std::string summariseEffects(const EffectsFileRecord& e) {
    std::string s;
    s += "  explosion frames " + std::to_string(e.frames.size());
    if (!e.frames.empty()) s += " of " + sizeText(e.frames.front());
    s += "\n  backgrounds:";
    for (const ImageRecord& b : e.backgrounds)
        s += " " + sizeText(b);
    s += "\n  sprite mesh " + meshText(e.sprite) + ", " + extent({&e.sprite}) + "\n";
    s += "  blast mesh " + meshText(e.blast) + ", " + extent({&e.blast}) + "\n";
    s += "  spare mesh " + meshText(e.spare) + "\n";
    s += "  images: shield " + sizeText(e.shield) + ", blast " + sizeText(e.blastImage) +
         ", spare " + sizeText(e.spareImage) + ", damage " + sizeText(e.damage) + ", smoke " +
         sizeText(e.smoke) + "\n";
    return s;
}

std::string findingsText(const Findings& f) {
    std::string s;
    for (const std::string& w : f.warnings)
        s += "  warning: " + w + "\n";
    for (const std::string& x : f.faults)
        s += "  fault: " + x + "\n";
    return s;
}

bool endsWith(const std::string& s, const std::string& tail) {
    if (s.size() < tail.size()) return false;
    for (size_t i = 0; i < tail.size(); ++i) {
        char a = s[s.size() - tail.size() + i], b = tail[i];
        if (a >= 'A' && a <= 'Z') a = static_cast<char>(a - 'A' + 'a');
        if (a != b) return false;
    }
    return true;
}
} // namespace

std::string fleetEntryText(const std::string& raceName, int count, const std::string& description) {
    return raceName + " (" + std::to_string(count) + ")  \"" + description + "\"";
}

Findings checkRace(const RaceFileRecord& race) {
    Findings f;
    for (size_t i = 0; i < race.textures.size(); ++i)
        checkImage(f, race.textures[i], "texture " + std::to_string(i));
    checkImage(f, race.projectile, "missile image");
    checkAlpha(f, race.projectile, "missile image");
    std::string entry = fleetEntryText(race.raceName, 20, race.description);
    if (entry.size() + 1 > FleetEntryCapacity) {
        f.warnings.push_back("the fleet entry \"" + entry + "\" is " +
                             std::to_string(entry.size()) + " bytes; the settings read at most " +
                             std::to_string(FleetEntryCapacity - 1) +
                             ", shorten the name or the description");
    }
    if (race.parts.empty()) f.warnings.push_back("no part meshes: the ships are invisible");
    for (size_t i = 0; i < race.parts.size(); ++i) {
        std::string why;
        if (!isClosedSurface(race.parts[i].mesh, &why))
            f.warnings.push_back("part " + std::to_string(i) + " is not a closed surface: " + why);
    }
    // The first 48 triangles and 26 vertices are what is drawn and aimed at.
    MeshRecord shell = race.shield;
    shell.positions.resize(HitPointCount);
    shell.triangles.resize(ShieldTriangleCount);
    std::string why;
    if (!isClosedSurface(shell, &why)) {
        f.warnings.push_back("the shield bubble is not closed: " + why);
    } else {
        size_t outside = 0;
        for (const PartRecord& p : race.parts)
            for (const auto& v : p.mesh.positions)
                if (!insideConvexShell(shell, {v[0], v[1], v[2]})) ++outside;
        if (outside > 0)
            f.warnings.push_back(std::to_string(outside) +
                                 " hull vertices lie outside the shield bubble");
    }
    return f;
}

Findings checkEffects(const EffectsFileRecord& e) {
    Findings f;
    for (size_t i = 0; i < e.frames.size(); ++i) {
        checkImage(f, e.frames[i], "explosion frame " + std::to_string(i));
        checkAlpha(f, e.frames[i], "explosion frame " + std::to_string(i));
    }
    for (size_t i = 0; i < e.backgrounds.size(); ++i)
        checkImage(f, e.backgrounds[i], "background " + std::to_string(i));
    const std::pair<const ImageRecord*, const char*> images[] = {{&e.shield, "shield image"},
                                                                 {&e.blastImage, "blast image"},
                                                                 {&e.spareImage, "spare image"},
                                                                 {&e.damage, "damage image"},
                                                                 {&e.smoke, "smoke image"}};
    for (const auto& [image, name] : images)
        checkImage(f, *image, name);
    checkAlpha(f, e.smoke, "smoke image");
    return f;
}

bool inspectFile(const std::string& path, std::string& summary, std::string* error) {
    std::vector<uint8_t> bytes;
    if (!readFileBytes(path, bytes)) {
        if (error) *error = "cannot read the file";
        return false;
    }
    bool wantRace = endsWith(path, ".ast");
    bool wantEffects = endsWith(path, ".as");
    std::string raceError, effectsError;
    Findings findings;
    std::string kind, body;
    RaceFileRecord race;
    EffectsFileRecord effects;
    if (!wantEffects && parseRaceFile(bytes.data(), bytes.size(), race, &raceError)) {
        kind = "race file";
        body = summariseRace(race);
        findings = checkRace(race);
    } else if (!wantRace && parseEffectsFile(bytes.data(), bytes.size(), effects, &effectsError)) {
        kind = "effects file";
        body = summariseEffects(effects);
        findings = checkEffects(effects);
    } else {
        if (error) {
            if (wantRace)
                *error = "not a valid race file: " + raceError;
            else if (wantEffects)
                *error = "not a valid effects file: " + effectsError;
            else
                *error = "neither a race file (" + raceError + ") nor an effects file (" +
                         effectsError + ")";
        }
        summary = path + ": " + std::to_string(bytes.size()) + " bytes, invalid\n";
        return false;
    }
    bool valid = findings.faults.empty();
    summary = path + ": " + kind + ", " + std::to_string(bytes.size()) + " bytes, " +
              (valid ? "valid" : "invalid") + "\n" + body + findingsText(findings);
    if (!valid && error) *error = findings.faults.front();
    return valid;
}
