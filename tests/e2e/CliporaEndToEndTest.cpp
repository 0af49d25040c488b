// Runs the device program against the stand-in of the social network, the
// way a person would from a terminal, and checks what it showed and left
// behind.

#include <gtest/gtest.h>

#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "tools/standin/StandinServer.h"

namespace {

namespace fs = std::filesystem;
using clipora::standin::StandinHost;
using clipora::standin::StandinKnob;
using clipora::standin::StandinServer;

StandinKnob holdKnob() {
    StandinKnob knob;
    knob.hold = true;
    return knob;
}

StandinKnob statusKnob(int status, int times) {
    StandinKnob knob;
    knob.status = status;
    knob.times = times;
    return knob;
}

class CliporaEndToEndTest : public ::testing::Test {
protected:
    void SetUp() override {
        home = fs::temp_directory_path() / ("clipora-e2e-" + std::to_string(::getpid()));
        fs::remove_all(home);
        fs::create_directories(home);
        options.directory = home / "standin";
        // Where the stand-in program keeps what it issued: in the home.
        options.stateFile = home / "device" / "standin" / "state.json";
        options.overrideResolver = false;  // the program maps the names itself
        options.trustCA = false;
        server = std::make_unique<StandinServer>(options);
        server->start();
    }
    // A new stand-in on the same home, as the next `scripts/run` starts.
    void relaunchStandin() {
        server->releaseHeld();
        server.reset();
        server = std::make_unique<StandinServer>(options);
        server->start();
    }
    void TearDown() override {
        server->stop();
        server.reset();
        fs::remove_all(home);
    }

    // Runs `clipora --script` with the home of this test, expecting the exit
    // status; answers its output.
    // `environment` is put before the command ("https_proxy=... "); a proxy
    // script the shell names is never handed on.
    std::string runScript(const std::string& script, int expectedStatus = 0, const std::string& environment = {}) {
        const std::string command = "env -u CLIPORA_PAC_URL " + environment + " CLIPORA_HOME='" +
                                    (home / "device").string() + "' '" CLIPORA_PROGRAM "'" + " --standin-port " +
                                    std::to_string(server->port()) + " --ca-file '" + server->caFile().string() +
                                    "' --script '" CLIPORA_E2E_DIR "/" + script + "' 2>&1";
        std::string output;
        FILE* pipe = ::popen(command.c_str(), "r");
        if (!pipe) return output;
        char buffer[4096];
        std::size_t n;
        while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) output.append(buffer, n);
        const int status = ::pclose(pipe);
        EXPECT_TRUE(WIFEXITED(status)) << output;
        EXPECT_EQ(WEXITSTATUS(status), expectedStatus) << output;
        // In a sanitizer build the program's own findings fail the test even
        // where its exit status is the expected failure's.
        EXPECT_EQ(output.find("Sanitizer:"), std::string::npos) << output;
        return output;
    }

    // Each of the five lists showed its newest video, and no wait ran out.
    static void expectEveryListLoaded(const std::string& out) {
        for (const char* row : {" 1. Robin cooks | Me", " 1. Dana's party | Me", " 1. Blair plays piano | Blair Brook",
                                " 1. Standin Films trailer | Standin Films", " 1. Club meetup | Local Hosts Club"})
            EXPECT_NE(out.find(row), std::string::npos) << row << "\n" << out;
        EXPECT_EQ(out.find("(timed out"), std::string::npos) << out;
    }

    std::vector<std::string> filesIn(const fs::path& folder) {
        std::vector<std::string> names;
        if (fs::exists(folder))
            for (const auto& entry : fs::directory_iterator(folder)) names.push_back(entry.path().filename().string());
        return names;
    }

    fs::path home;
    StandinServer::Options options;
    std::unique_ptr<StandinServer> server;
};

TEST_F(CliporaEndToEndTest, SignInWatchDownloadShareQuitAndComeBackSignedIn) {
    // "Alex and Robin hiking" stays on its way; "Alex skates" fails once.
    server->setKnob("/files/videos/400012.mp4", holdKnob());
    server->setKnob("/files/videos/400011.mp4", statusKnob(500, 1));

    const std::string first = runScript("signin-download-share.txt");
    auto shows = [&](const std::string& text) { return first.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("== Browser: web.social.test ==")) << first;
    // The password is shown as the form shows it, in the echo as well.
    EXPECT_TRUE(shows("> type *******\n")) << first;
    EXPECT_TRUE(shows("password: *******\n")) << first;
    EXPECT_FALSE(shows("type standin")) << first;
    EXPECT_TRUE(shows("[b 1] Log Out"));
    // Newest first, with the owners' names and pictures.
    const auto blair = first.find(" 1. Blair plays piano | Blair Brook");
    const auto alex = first.find(" 2. Alex skates | Alex Archer");
    EXPECT_NE(blair, std::string::npos) << first;
    EXPECT_NE(alex, std::string::npos);
    EXPECT_TRUE(shows("[picture]"));
    EXPECT_TRUE(shows("== Now playing ==\n  https://graph.social.test/files/videos/400011_hd.mp4"));
    EXPECT_TRUE(shows("<HUD  (done)>"));
    EXPECT_TRUE(shows("Alex skates | Failed to download! Try again?"));
    EXPECT_TRUE(shows("Alex and Robin hiking | Cancelled..."));
    EXPECT_FALSE(shows("(timed out")) << first;
    EXPECT_FALSE(shows("(no ")) << first;

    // The wall post went out with the video's page.
    auto posts = server->requestsTo("/method/links.post");
    ASSERT_EQ(posts.size(), 1u);
    EXPECT_EQ(posts[0].params.at("url"), "https://web.social.test/video/video.php?v=400021");
    // The two finished downloads are in the album and out of Caches; the
    // list left at the end was archived.
    const fs::path device = home / "device";
    EXPECT_EQ(filesIn(device / "PhotoAlbum").size(), 2u);
    for (const auto& name : filesIn(device / "Library/Caches")) {
        EXPECT_NE(name, "400021.mp4");
        EXPECT_NE(name, "400011.mp4");
    }
    EXPECT_TRUE(fs::exists(device / "Documents/DownloadList"));

    // The next run starts a new stand-in too: the stored token still works,
    // every list loads.
    relaunchStandin();
    const std::string second = runScript("relaunch.txt");
    expectEveryListLoaded(second);
    EXPECT_EQ(second.find("== Browser"), std::string::npos) << second;
}

// A token the network refuses (error 190) signs the application out; signing
// in again loads every list, the one that failed included.
TEST_F(CliporaEndToEndTest, AfterARefusedTokenSigningInAgainLoadsEveryList) {
    runScript("signin.txt");
    // The network forgets every token and browser session.
    server->data().revokeAllTokens();
    server->signOutEveryone();
    const std::string out = runScript("signin-again.txt");
    EXPECT_NE(out.find("Alert \"Error\": Can't retrieve video."), std::string::npos) << out;
    EXPECT_NE(out.find("[b 1] Log In"), std::string::npos) << out;
    expectEveryListLoaded(out.substr(out.find("[b 1] Log In")));
}

TEST_F(CliporaEndToEndTest, TheSettingsChooseTheSourceOfTheNextDownload) {
    const std::string out = runScript("settings-downloadhd.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("[b 2] Settings")) << out;
    EXPECT_TRUE(shows("== Settings ==")) << out;
    EXPECT_TRUE(shows("1. Download HD [off]")) << out;
    EXPECT_TRUE(shows("1. Download HD [on]")) << out;
    EXPECT_TRUE(shows("Share on Twitter")) << out;
    EXPECT_TRUE(shows("Movara on Twitter [picture]  >")) << out;
    EXPECT_TRUE(shows("Video Browser | Find and save videos on the web [picture]  >")) << out;
    // The like widget is a row's, not a page of the screen.
    EXPECT_TRUE(shows("5.  [web widget]")) << out;
    EXPECT_FALSE(shows("page: about:blank")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    EXPECT_FALSE(shows("(no ")) << out;
    EXPECT_FALSE(shows("(the settings")) << out;
    if (std::getenv("CLIPORA_E2E_SHOW")) std::cout << out;

    // On: the HD source; off again: the standard one.
    EXPECT_EQ(server->requestsTo("/files/videos/400021_hd.mp4").size(), 1u) << out;
    EXPECT_TRUE(server->requestsTo("/files/videos/400021.mp4").empty());
    EXPECT_EQ(server->requestsTo("/files/videos/400011.mp4").size(), 1u);
    EXPECT_TRUE(server->requestsTo("/files/videos/400011_hd.mp4").empty());
    EXPECT_EQ(filesIn(home / "device/PhotoAlbum").size(), 2u);
}

TEST_F(CliporaEndToEndTest, TheBrowserReachesAVideoWhoseDownloadIsListedAndGoesToTheAlbum) {
    const std::string out = runScript("browser.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("page: https://www.social.test/home.php?sk=video")) << out;
    EXPECT_TRUE(shows("page: https://www.social.test/video/video.php?v=")) << out;
    EXPECT_TRUE(shows("-- Downloaded Videos --")) << out;
    EXPECT_TRUE(shows("Posted by: ")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    EXPECT_FALSE(shows("(no ")) << out;
    EXPECT_FALSE(shows("opens a new window")) << out;
    const fs::path documents = home / "device" / "Documents";
    bool video = false;
    for (const auto& name : filesIn(documents)) video = video || name.ends_with(".mp4");
    EXPECT_TRUE(video) << out;
    // The album button of the saved video copied it into the photo album.
    EXPECT_EQ(filesIn(home / "device/PhotoAlbum").size(), 1u) << out;
}

// The browser's saved videos are kept at every later launch, also after the
// preferences file was damaged.
TEST_F(CliporaEndToEndTest, TheBrowsersSavedVideosOutliveRelaunchesAndDamagedPreferences) {
    const std::string first = runScript("browser-keep.txt");
    EXPECT_EQ(first.find("(timed out"), std::string::npos) << first;
    EXPECT_EQ(first.find("(no "), std::string::npos) << first;
    auto expectKept = [](const std::string& out) {
        // The bookmark is row 1 and the download row 2 of the saved videos.
        EXPECT_NE(out.find("-- Bookmarked Videos --\n 1. "), std::string::npos) << out;
        EXPECT_NE(out.find("-- Downloaded Videos --\n 2. "), std::string::npos) << out;
        EXPECT_EQ(out.find("(timed out"), std::string::npos) << out;
    };
    relaunchStandin();
    expectKept(runScript("browser-relaunch.txt"));

    const fs::path device = home / "device";
    fs::resize_file(device / "Library/Preferences/Clipora.plist", 100);
    relaunchStandin();
    expectKept(runScript("browser-relaunch.txt"));
    for (const auto& name : filesIn(device / "Documents")) EXPECT_EQ(name.find(".unreadable-"), std::string::npos);
}

// "Download Video" again: a failed row starts again, a running one is not
// doubled and the user is told so.
TEST_F(CliporaEndToEndTest, DownloadingAVideoAgainRestartsItsFailedRowOrSaysItIsOnItsWay) {
    server->setKnob("/files/videos/400011.mp4", statusKnob(500, 1));
    server->setKnob("/files/videos/400021.mp4", holdKnob());
    const std::string out = runScript("download-again.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("Alert \"Notice\": This video is already downloading.")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    EXPECT_FALSE(shows("(no ")) << out;
    EXPECT_EQ(server->requestsTo("/files/videos/400011.mp4").size(), 2u);
    EXPECT_EQ(server->requestsTo("/files/videos/400021.mp4").size(), 1u);
    EXPECT_EQ(filesIn(home / "device/PhotoAlbum").size(), 1u);
}

TEST_F(CliporaEndToEndTest, AVideoIsTweetedThroughTheSystemsTweetSheet) {
    const std::string out = runScript("tweet.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("== Tweet ==\n  Check out this cool video!\n  link: https://web.social.test/video/video.php?v="))
        << out;
    EXPECT_TRUE(shows("[b 1] Send [b 2] Cancel")) << out;
    EXPECT_TRUE(shows("<Share \u2713 Saved!>")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    EXPECT_FALSE(shows("(no ")) << out;
}

// Over a slow link a download's row shows its progress moving, then its
// outcome: gone to the album when it arrived whole, failed when cut off.
TEST_F(CliporaEndToEndTest, ASlowDownloadShowsItsProgressAndThenItsOutcome) {
    // A 6 KB video in pieces of 1 KB, 0.4 s apart: the screen holds still
    // between pieces long enough for the script to show it.
    StandinKnob slow;
    slow.tricklePiece = 1024;
    slow.trickleInterval = std::chrono::milliseconds(400);
    server->setKnob("/files/videos/400021.mp4", slow);
    StandinKnob cut = slow;
    cut.truncateAfter = 3000;
    server->setKnob("/files/videos/400011.mp4", cut);

    const std::string out = runScript("slow-download.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    // A percentage strictly between the start and the end was on screen.
    bool moved = false;
    const std::string line = "download Blair plays piano: ";
    for (auto at = out.find(line); at != std::string::npos; at = out.find(line, at + 1)) {
        const int shown = std::atoi(out.c_str() + at + line.size());
        moved = moved || (shown > 0 && shown < 100);
    }
    EXPECT_TRUE(moved) << out;
    EXPECT_TRUE(shows("Alex skates | Failed to download! Try again?")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    EXPECT_FALSE(shows("(no ")) << out;
    // The whole one is in the album, and nothing of either is left in Caches.
    EXPECT_EQ(filesIn(home / "device/PhotoAlbum").size(), 1u);
    for (const auto& name : filesIn(home / "device/Library/Caches")) {
        EXPECT_EQ(name.find("400021.mp4"), std::string::npos) << name;
        EXPECT_EQ(name.find("400011.mp4"), std::string::npos) << name;
    }
}

TEST_F(CliporaEndToEndTest, AScriptStopsAtACommandThatFailsWithANonZeroStatus) {
    const std::string out = runScript("failing-command.txt", 1);
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("> b 9\n(no button 9; this screen has b 1 to b 2)\nclipora: the script failed at line 4: b 9\n"))
        << out;
    EXPECT_FALSE(shows("> settings")) << out;
    EXPECT_FALSE(shows("== Settings ==")) << out;
}

// "Share on Facebook" on the settings screen opens the network's wall-post
// dialog over it, drawn with its page and its close button.
TEST_F(CliporaEndToEndTest, ShareOnFacebookFromTheSettingsShowsTheNetworksDialog) {
    const std::string out = runScript("share-facebook.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("== Dialog: Post to Wall ==\n  page: https://web.social.test/dialog/stream.publish?")) << out;
    EXPECT_TRUE(shows("[b 1] Close")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    EXPECT_FALSE(shows("(no ")) << out;
    EXPECT_FALSE(server->requestsTo("/dialog/stream.publish").empty()) << out;
}

TEST_F(CliporaEndToEndTest, TheAboutScreenShowsTheVersionAndItsHDSwitch) {
    const std::string out = runScript("about.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("  Version 1.")) << out;
    EXPECT_TRUE(shows("[b 2] switch [off]")) << out;
    EXPECT_TRUE(shows("[b 2] switch [on]")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
}

// After the owners' names could not be had, pulling the list down fetches
// it again with the names.
TEST_F(CliporaEndToEndTest, RefreshFetchesAListAgain) {
    server->setKnob("/method/fql.query", statusKnob(500, 1));
    const std::string out = runScript("refresh.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    const auto pulled = out.find("> refresh\n");
    ASSERT_NE(pulled, std::string::npos) << out;
    EXPECT_NE(out.rfind("Blair plays piano | Me", pulled), std::string::npos) << out;
    EXPECT_NE(out.find("Blair plays piano | Blair Brook", pulled), std::string::npos) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    // The log went to its file, not into the screens.
    EXPECT_FALSE(shows("Failed: Error(")) << out;
    std::ifstream log(home / "device/Library/Logs/clipora.log");
    const std::string logged((std::istreambuf_iterator<char>(log)), std::istreambuf_iterator<char>());
    EXPECT_NE(logged.find("GetFriend Failed"), std::string::npos) << logged;
}

// The browser's sign-in outlives the process: the network's cookie is kept
// in the home, so after a relaunch the browser follows a link at once.
TEST_F(CliporaEndToEndTest, TheBrowserIsStillSignedInAfterARelaunch) {
    runScript("signin.txt");
    relaunchStandin();
    const std::string out = runScript("browser-signed-in.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("page: https://www.social.test/home.php?sk=video")) << out;
    EXPECT_TRUE(shows("page: https://www.social.test/video/video.php?v=")) << out;
    EXPECT_FALSE(shows("[s 1] Log In")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    EXPECT_FALSE(shows("(no ")) << out;
}

// Without its cookie the browser shows the network's login page, and the
// user signs in there: fields filled, the form posted, the video home shown.
TEST_F(CliporaEndToEndTest, TheBrowserSignsInOnItsOwnLoginPage) {
    runScript("signin.txt");
    fs::remove_all(home / "device" / "Library" / "Cookies");
    server->clearRequests();
    const std::string out = runScript("browser-login.txt");
    auto shows = [&](const std::string& text) { return out.find(text) != std::string::npos; };
    EXPECT_TRUE(shows("[f 1] Email: (empty)")) << out;
    EXPECT_TRUE(shows("[f 1] Email: robin@social.test")) << out;
    // The password is masked on the page and in the echo.
    EXPECT_TRUE(shows("[f 2] Password: *******")) << out;
    EXPECT_TRUE(shows("> type *******\n")) << out;
    EXPECT_FALSE(shows("type standin")) << out;
    EXPECT_TRUE(shows("page: https://www.social.test/video/video.php?v=")) << out;
    EXPECT_FALSE(shows("(timed out")) << out;
    EXPECT_FALSE(shows("(no ")) << out;
    auto posts = server->requestsTo("/login.php", StandinHost::Login);
    ASSERT_EQ(posts.size(), 1u) << out;
    EXPECT_EQ(posts[0].form.at("email"), "robin@social.test");
    EXPECT_EQ(posts[0].form.at("login"), "Log In");
}

// A version newer than the running one in the stand-in's versions list: the
// update alert appears at launch.
TEST_F(CliporaEndToEndTest, ANewVersionInTheMakersListIsOffered) {
    server->data().setMakerList("versions",
                                clipora::standin::Json::parse(R"({"1.0": ["First."], "9.0": ["Faster downloads."]})"));
    const std::string out = runScript("update-offer.txt");
    EXPECT_NE(out.find("Alert \"A new version of Clipora is available to download\""), std::string::npos) << out;
    EXPECT_NE(out.find("[b 1] Download [b 2] Ignore [b 3] Remind Me Later"), std::string::npos) << out;
    EXPECT_EQ(out.find("(timed out"), std::string::npos) << out;
    EXPECT_EQ(server->requestsTo("/Versions.plist", StandinHost::Maker).size(), 1u);
}

// A proxy in the environment is for the outside world: the stand-in's
// hosts are reached directly, and every list loads.
TEST_F(CliporaEndToEndTest, ADeadProxyInTheEnvironmentDoesNotStopTheLists) {
    const std::string deadProxy =
        "https_proxy=http://127.0.0.1:9 http_proxy=http://127.0.0.1:9 all_proxy=http://127.0.0.1:9 "
        "HTTPS_PROXY=http://127.0.0.1:9";
    runScript("signin.txt", 0, deadProxy);
    const std::string out = runScript("relaunch.txt", 0, deadProxy);
    expectEveryListLoaded(out);
    EXPECT_EQ(out.find("Can't retrieve"), std::string::npos) << out;
}

}  // namespace
