#include "harness.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <random>

#include "runner/game_file.h"

namespace tb::test {

namespace fs = std::filesystem;

Game MinimalGame() {
    Game g;
    ResetSettings(g.settings);
    g.game_id = 424242;
    for (size_t i = 0; i < g.guid.size(); ++i) g.guid[i] = uint8_t(0xA0 + i);
    g.rooms.Add(std::make_unique<CRoom>(), "room0");
    g.room_order = {0};
    return g;
}

Game RichGame() {
    Game g = MinimalGame();
    GameSettings& st = g.settings;
    st.FullScreen = true;
    st.Scale = -1;
    st.WindowColor = 0x123456;
    st.KeyEsc = false;
    st.Priority = 1;
    st.LoadingImage = CBitmap32(4, 3, 0xFF336699);
    st.ProgressBackImage = CBitmap32(8, 2, 0xFF000000);
    st.LoadingImageAlpha = 200;
    st.ConstantNames = {"MAX_LIVES", "title"};
    st.ConstantValues = {"3", "\"Hello\""};

    auto sound = std::make_unique<CSound>();
    sound->Kind = 0;
    sound->FileType = ".wav";
    sound->FileName = "beep.wav";
    sound->has_data = true;
    sound->data = {'R', 'I', 'F', 'F', 0, 1, 2, 3};
    sound->Effects = 2 | 16;
    sound->Volume = 0.5;
    sound->Pan = -0.25;
    g.sounds.Add(std::move(sound), "snd_beep");
    g.sounds.Add(nullptr, "");

    auto sprite = std::make_unique<CSprite>();
    sprite->Width = 3;
    sprite->Height = 2;
    sprite->XOrigin = 1;
    sprite->BBoxMode = 2;
    sprite->BBoxLeft = 0, sprite->BBoxRight = 2, sprite->BBoxTop = 0, sprite->BBoxBottom = 1;
    CBitmap32 frame(3, 2, 0xFFFF0000);
    frame.At(0, 0) = 0;
    sprite->frames = {frame, CBitmap32(), CBitmap32(3, 2, 0x80112233)};
    sprite->BuildMasks();
    g.sprites.Add(std::move(sprite), "spr_player");

    auto back = std::make_unique<CBackground>();
    back->Width = 16;
    back->Height = 8;
    back->Transparent = true;
    back->image = CBitmap32(16, 8, 0xFF00FF00);
    g.backgrounds.Add(std::move(back), "bg_grass");

    auto path = std::make_unique<CPath>();
    path->Kind = 1;
    path->Closed = false;
    path->Precision = 3;
    path->points = {{0, 0, 100}, {64, 0, 50}, {64, 64, 100}};
    path->Recompute();
    g.paths.Add(std::move(path), "path_loop");

    auto script = std::make_unique<CScript>();
    script->SetScriptText("return argument0 + 1;");
    g.scripts.Add(std::move(script), "scr_next");

    auto font = std::make_unique<CFont>();
    font->FontName = "Sans";
    font->Size = 10;
    font->Bold = true;
    font->First = 65;
    font->Last = 66;
    font->glyph_w[65] = 5;
    font->glyph_advance[65] = 6;
    font->glyph_x[66] = 6;
    font->TextureWidth = 12;
    font->TextureHeight = 2;
    font->alpha.assign(24, 0);
    font->alpha[3] = 255;
    g.fonts.Add(std::move(font), "fnt_main");

    auto timeline = std::make_unique<CTimeLine>();
    timeline->AddMoment(0).AddCodeAction("x = 1;");
    timeline->AddMoment(30).AddCodeAction("x = 2;");
    g.timelines.Add(std::move(timeline), "tl_intro");

    auto parent = std::make_unique<CObject>();
    parent->GetOrCreateEvent(0, 0)->AddCodeAction("hp = 3;");
    g.objects.Add(std::move(parent), "obj_parent");
    auto player = std::make_unique<CObject>();
    player->SpriteIndex = 0;
    player->Solid = true;
    player->Depth = -5;
    player->ParentIndex = 0;
    CAction call;
    call.ExecType = 1;
    call.FunctionName = "scr_next";
    call.ArgumentCount = 2;
    call.ArgumentKinds = {0, 1};
    call.ArgumentTexts = {"x + 1", "text"};
    call.AppliesTo = -2;
    call.Relative = true;
    call.IsQuestion = true;
    call.Not = true;
    player->GetOrCreateEvent(3, 0)->actions.push_back(call);
    player->GetOrCreateEvent(4, 0)->AddCodeAction("speed = 0;");
    player->GetOrCreateEvent(9, 37)->AddCodeAction("x -= 4;");
    g.objects.Add(std::move(player), "obj_player");

    CRoom& room = *g.rooms.Get(0);
    room.Caption = "Level 1";
    room.Speed = 60;
    room.Width = 800;
    room.CreationCode = "global.level = 1;";
    room.backgrounds[0].Visible = true;
    room.backgrounds[0].BackgroundIndex = 0;
    room.backgrounds[0].Stretch = true;
    room.backgrounds[0].XScale = 50;
    room.backgrounds[0].YScale = 60;
    room.ViewsEnabled = true;
    room.views[0].Visible = true;
    room.views[0].Object = 1;
    auto inst = std::make_unique<CInstance>();
    inst->id = 100001;
    inst->object_index = 1;
    inst->x = inst->xstart = inst->xprevious = 32;
    inst->y = inst->ystart = inst->yprevious = 48;
    inst->creation_code = "hp = 5;";
    room.instances.push_back(std::move(inst));
    CTile tile;
    tile.X = 16;
    tile.Width = tile.Height = 8;
    tile.Depth = 1000;
    tile.Id = 10000001;
    room.tiles.push_back(tile);
    g.last_instance_id = 100001;
    g.last_tile_id = 10000001;

    CDataFile data;
    data.FileName = "level.txt";
    data.DataLoaded = data.DataStored = true;
    data.data = {'1', '2', '3'};
    data.Size = 3;
    data.ExportKind = 1;
    g.included_files.push_back(data);

    CExtensionPackage package;
    package.name = "Tools";
    package.folder_name = "temp42";
    CExtensionFile file;
    file.file_name = "tools.txt";
    file.kind = CExtensionFile::kScript;
    CExtensionFunction fn;
    fn.name = fn.external_name = "tools_twice";
    fn.id = 0;
    fn.argument_count = 1;
    fn.argument_types.fill(2);
    file.functions.push_back(fn);
    file.constants.push_back({"TOOLS_VERSION", "2"});
    std::string code = "#define tools_twice\r\nreturn argument0 * 2;";
    file.contents.assign(code.begin(), code.end());
    SplitScriptFile(file);
    package.files.push_back(file);
    g.extensions.push_back(package);

    g.info.InfoCaption = "About";
    g.info.Text = "{\\rtf1 Have fun}";
    g.library_init_code = {"global.lib = 1;"};
    return g;
}

void AddCodeObject(Game& game, const std::string& name, int kind, int number,
                   const std::string& code) {
    auto obj = std::make_unique<CObject>();
    obj->GetOrCreateEvent(kind, number)->AddCodeAction(code);
    game.objects.Add(std::move(obj), name);
}

LoadOutcome LoadBytes(std::vector<uint8_t> bytes) {
    LoadOutcome r;
    TempDirectory temp([](int n) { return int(std::random_device()() % unsigned(n)); },
                       [](std::string_view) {});
    LoadContext ctx;
    ctx.temp_dir = temp.Path();
    ctx.message = [&](std::string_view m) { r.messages.emplace_back(m); };
    ctx.failure = [&](std::string_view m) { r.failure_messages.emplace_back(m); };
    ctx.progress = [&](int p, std::string_view c) { r.progress.emplace_back(p, std::string(c)); };
    r.failure = LoadGameFile(std::move(bytes), r.game, ctx);
    return r;
}

ScratchDir::ScratchDir() {
    static std::atomic<int> counter{0};
    path = fs::temp_directory_path() /
           ("tamberlo_test_" + std::to_string(getpid()) + "_" + std::to_string(counter++));
    fs::remove_all(path);
    fs::create_directories(path);
}

ScratchDir::~ScratchDir() {
    std::error_code ec;
    fs::remove_all(path, ec);
}

void WriteBytes(const fs::path& file, const std::vector<uint8_t>& bytes) {
    std::ofstream out(file, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
}

void WriteText(const fs::path& file, const std::string& text) {
    std::ofstream(file, std::ios::binary) << text;
}

std::string ReadText(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

ProcessResult RunProgram(const std::string& program, const std::vector<std::string>& args,
                         const fs::path& cwd) {
    ScratchDir capture;
    fs::path out = capture.path / "out", err = capture.path / "err";
    pid_t pid = fork();
    if (pid == 0) {
        int o = open(out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int e = open(err.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
        int in = open("/dev/null", O_RDONLY);
        dup2(o, 1);
        dup2(e, 2);
        dup2(in, 0);
        if (!cwd.empty() && chdir(cwd.c_str()) != 0) _exit(126);
        std::vector<char*> argv;
        argv.push_back(const_cast<char*>(program.c_str()));
        for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
        argv.push_back(nullptr);
        execv(program.c_str(), argv.data());
        _exit(127);
    }
    ProcessResult r;
    int status = 0;
    waitpid(pid, &status, 0);
    r.exit_code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    r.out = ReadText(out);
    r.err = ReadText(err);
    return r;
}

}  // namespace tb::test
