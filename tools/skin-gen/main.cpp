// orvik-skin-gen OUT WORK [PREVIEW]
//
// Draws every picture of the installer's skin. Finished files go to OUT (png/, icon/,
// data/ as the resource bundle lists them); WORK receives what ImageMagick still has to
// turn into the JPG and the GIF (132.png, 157-00.png .. 157-14.png). With PREVIEW, mock-ups
// of every screen and a contact sheet are written there too. The same build always writes
// the same bytes.
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "NetLinkBlock.h"
#include "Pictures.h"
#include "Preview.h"

namespace {

bool Write(const skin::Canvas& c, const std::string& path) {
    if (!c.WritePng(path)) {
        std::fprintf(stderr, "orvik-skin-gen: cannot write %s\n", path.c_str());
        return false;
    }
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 3 && argc != 4) {
        std::fprintf(stderr, "usage: orvik-skin-gen OUT WORK [PREVIEW]\n");
        return 2;
    }
    const std::string out = argv[1], work = argv[2];
    std::error_code ec;
    for (const char* sub : {"png", "icon", "data"}) {
        std::filesystem::create_directories(out + "/" + sub, ec);
    }
    std::filesystem::create_directories(work, ec);

    using namespace skin;
    Skin s;
    s.full131 = FullBackground131();
    s.panel132 = Panel132();
    s.marker135 = ProgressMarker135();
    s.browse136 = BrowseButton(false);
    s.browse138 = BrowseButton(true);
    s.up139 = Triangle(true);
    s.down140 = Triangle(false);
    s.face146 = NoticeFace146();
    s.header148 = Header148();
    s.main149 = MainButton(0xFCA71C);
    s.main150 = MainButton(0xFA8C30);
    s.path151 = PathBox151();
    s.close152 = CloseCross(0x666666);
    s.close153 = CloseCross(0x4D4D4D);
    s.ticked155 = CheckBox(true);
    s.empty156 = CheckBox(false);
    s.licence159 = LicenceBackground159();
    s.main160 = MainButton(0xD7D8DB);
    s.icon128 = AppIcon128();
    s.spinner = SpinnerFrames(s.full131);

    const std::pair<const Canvas*, const char*> pngs[] = {
        {&s.full131, "131"},  {&s.marker135, "135"}, {&s.browse136, "136"}, {&s.browse138, "138"},
        {&s.up139, "139"},    {&s.down140, "140"},   {&s.face146, "146"},   {&s.header148, "148"},
        {&s.main149, "149"},  {&s.main150, "150"},   {&s.path151, "151"},   {&s.close152, "152"},
        {&s.close153, "153"}, {&s.ticked155, "155"}, {&s.empty156, "156"},  {&s.licence159, "159"},
        {&s.main160, "160"}};
    bool ok = true;
    for (const auto& [canvas, id] : pngs) {
        ok &= Write(*canvas, out + "/png/" + id + ".png");
    }
    ok &= Write(s.icon128, out + "/icon/128.png");
    ok &= Write(s.panel132, work + "/132.png");
    for (std::size_t i = 0; i < s.spinner.size(); ++i) {
        char name[32];
        std::snprintf(name, sizeof name, "/157-%02zu.png", i);
        ok &= Write(s.spinner[i], work + name);
    }

    const auto block = NetLinkBlock();
    std::ofstream data(out + "/data/152.bin", std::ios::binary | std::ios::trunc);
    data.write(reinterpret_cast<const char*>(block.data()),
               static_cast<std::streamsize>(block.size()));
    data.close();
    ok &= !data.fail();

    if (argc == 4) {
        std::filesystem::create_directories(argv[3], ec);
        ok &= WritePreview(s, argv[3]);
    }
    return ok ? 0 : 1;
}
