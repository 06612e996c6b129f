// The serve command's HTTP interface, over a real loopback connection:
// sessions, validation of every kind of request, and that a bad request in
// one session leaves the others alone.

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <chrono>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/image_io.h>
#include "serve_server.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;
namespace {

using nlohmann::json;

class ServeServerTest : public ::testing::Test {
protected:
    void Start(ServeOptions options = {})
    {
        options.host = "127.0.0.1";
        options.port = 0;
        m_server = std::make_unique<ServeServer>(options);
        std::string error;
        ASSERT_TRUE(m_server->Bind(error)) << error;
        m_thread = std::thread([this] { m_server->Run(); });
    }

    void TearDown() override
    {
        if (m_server) {
            m_server->Stop();
            m_thread.join();
        }
    }

    std::unique_ptr<httplib::Client> Client()
    {
        auto client = std::make_unique<httplib::Client>("127.0.0.1", m_server->Port());
        client->set_read_timeout(std::chrono::seconds(60));
        return client;
    }

    // A new session: its cookie header.
    httplib::Headers NewSession()
    {
        auto res = Client()->Post("/api/session");
        EXPECT_TRUE(res);
        if (!res)
            return {};
        EXPECT_EQ(res->status, 200);
        const std::string cookie = res->get_header_value("Set-Cookie");
        EXPECT_EQ(cookie.rfind(std::string(kSessionCookie) + "=", 0), 0u) << cookie;
        return {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    }

    json State(const httplib::Headers& session)
    {
        auto res = Client()->Get("/api/state", session);
        EXPECT_TRUE(res);
        if (!res)
            return {};
        EXPECT_EQ(res->status, 200);
        return json::parse(res->body);
    }

    static std::string ErrorOf(const httplib::Result& res)
    {
        if (!res)
            return "(no answer)";
        const json body = json::parse(res->body, nullptr, false);
        return body.is_object() && body.contains("error") ? body["error"].get<std::string>() : res->body;
    }

    std::string CorrectionWith(const std::string& group, const std::string& key, int value)
    {
        return json{{"format", "colorcorrect-correction"}, {"version", 1}, {group, {{key, value}}}}.dump();
    }

    std::unique_ptr<ServeServer> m_server;
    std::thread m_thread;
};

// ---- sessions --------------------------------------------------------------------

TEST_F(ServeServerTest, RequestsWithoutAKnownSessionAreRefused)
{
    Start();
    auto client = Client();
    auto res = client->Get("/api/state");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401);
    EXPECT_NE(ErrorOf(res).find("no session"), std::string::npos);
    res = client->Get("/api/state", {{"Cookie", "cc_session=0123456789abcdef0123456789abcdef"}});
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 401);
}

TEST_F(ServeServerTest, ThePageMakesASessionAndServesItsFiles)
{
    Start();
    auto client = Client();
    auto res = client->Get("/");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->body.find("<script type=\"module\" src=\"app.js\">"), std::string::npos);
    EXPECT_NE(res->get_header_value("Set-Cookie").find("HttpOnly"), std::string::npos);
    EXPECT_EQ(m_server->Sessions().Count(), 1u);
    res = client->Get("/app.js");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(res->get_header_value("Content-Type"), "text/javascript; charset=utf-8");
    res = client->Get("/nothing.js");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    res = client->Get("/../secret.css");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
}

TEST_F(ServeServerTest, TheSchemaIsTheFieldCatalogue)
{
    Start();
    auto res = Client()->Get("/api/schema");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    const json schema = json::parse(res->body);
    for (const colorcorrect::FieldGroup* g :
         {&colorcorrect::kBaseGroup, &colorcorrect::kSegmentGroup, &colorcorrect::kMatchVectorGroup}) {
        const json& fields = schema["groups"][g->name]["fields"];
        ASSERT_EQ(fields.size(), g->fields.size()) << g->name;
        for (size_t i = 0; i < fields.size(); ++i) {
            EXPECT_EQ(fields[i]["name"], g->fields[i].name);
            EXPECT_EQ(fields[i]["min"], g->fields[i].min);
            EXPECT_EQ(fields[i]["max"], g->fields[i].max);
            EXPECT_EQ(fields[i]["neutral"], g->fields[i].neutral);
        }
    }
    EXPECT_EQ(schema["segments"].size(), colorcorrect::kHueSegments);
}

TEST_F(ServeServerTest, RequestsForAnotherHostNameAreRefused)
{
    Start();
    auto client = Client();
    const std::string port = std::to_string(m_server->Port());
    for (const std::string& host : std::vector<std::string>{"evil.example:" + port, "127.0.0.1", "127.0.0.1:1",
                                                             "localhost.evil:" + port}) {
        auto res = client->Get("/", {{"Host", host}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 421) << host;
    }
    EXPECT_EQ(m_server->Sessions().Count(), 0u);
    for (const std::string& host : std::vector<std::string>{"localhost:" + port, "127.0.0.1:" + port}) {
        auto res = client->Get("/", {{"Host", host}});
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 200) << host;
    }
}

TEST_F(ServeServerTest, StartsWithTheDefaultPictureAndTheNeutralCorrection)
{
    Start();
    const json state = State(NewSession());
    EXPECT_EQ(state["source"]["width"], 720);
    EXPECT_EQ(state["source"]["height"], 480);
    EXPECT_EQ(state["reference"]["width"], 720);
    EXPECT_EQ(state["correction"]["base"]["y_gamma"], 0);
    EXPECT_EQ(state["undo"], 0);
    EXPECT_EQ(state["sets"], 0);
}

TEST_F(ServeServerTest, TheNumberOfSessionsIsLimited)
{
    ServeOptions options;
    options.maxSessions = 2;
    Start(options);
    NewSession();
    NewSession();
    auto res = Client()->Post("/api/session");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 503);
    EXPECT_NE(ErrorOf(res).find("too many sessions"), std::string::npos);
    EXPECT_EQ(m_server->Sessions().Count(), 2u);
}

TEST(SessionRegistryTest, IdleSessionsExpire)
{
    SessionRegistry registry(4, std::chrono::seconds(0));
    std::string error;
    auto session = registry.Create(error);
    ASSERT_TRUE(session) << error;
    const std::string id = session->Id();
    // Wait (without guessing a duration) until the clock has moved past the last use.
    while (ServeSession::Clock::now() <= session->LastUsed())
        std::this_thread::yield();
    EXPECT_EQ(registry.Expire(), 1u);
    EXPECT_EQ(registry.Find(id), nullptr);
    EXPECT_TRUE(session->Previews().Closed());
}

TEST(SessionRegistryTest, UsedSessionsStay)
{
    SessionRegistry registry(4, std::chrono::seconds(3600));
    std::string error;
    auto a = registry.Create(error);
    auto b = registry.Create(error);
    ASSERT_TRUE(a && b) << error;
    EXPECT_NE(a->Id(), b->Id());
    EXPECT_EQ(a->Id().size(), 32u);
    EXPECT_EQ(registry.Expire(), 0u);
    EXPECT_EQ(registry.Find(a->Id()), a);
}

// ---- the correction ------------------------------------------------------------------

TEST_F(ServeServerTest, ACorrectionIsTakenAndReadBack)
{
    Start();
    const auto session = NewSession();
    auto res = Client()->Put("/api/correction", session, CorrectionWith("base", "y_gamma", 40), "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    const json state = State(session);
    EXPECT_EQ(state["correction"]["base"]["y_gamma"], 40);
    EXPECT_EQ(state["undo"], 1);
}

TEST_F(ServeServerTest, BadCorrectionsAreRefusedWithTheFieldNamed)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    struct Case {
        std::string body;
        std::string message;
    } cases[] = {
        {CorrectionWith("base", "y_gamma", 300), "base.y_gamma 300 is outside -255..255"},
        {"{\"format\": \"colorcorrect-correction\"}", "version"},
        {"not json at all", ""},
        {"", ""},
        {CorrectionWith("base", "nonsense", 1), "nonsense"},
        {std::string(600, '\x01'), ""},
    };
    for (const Case& c : cases) {
        auto res = client->Put("/api/correction", session, c.body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << c.body.substr(0, 60);
        EXPECT_NE(ErrorOf(res).find(c.message), std::string::npos) << ErrorOf(res);
    }
    auto res = client->Put("/api/correction?commit=2", session, CorrectionWith("base", "sat", 5), "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);
    EXPECT_NE(ErrorOf(res).find("commit"), std::string::npos);
    const json state = State(session);
    EXPECT_EQ(state["correction"]["base"]["y_gamma"], 0);
    EXPECT_EQ(state["correction"]["base"]["sat"], 0);
    EXPECT_EQ(state["undo"], 0);
}

TEST_F(ServeServerTest, UndoAndRedoFollowTheCommittedSteps)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    auto res = client->Post("/api/undo", session, "", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 409);
    // Steps of a drag (commit=0) are not kept; the end of it is one step.
    for (int gamma : {10, 20, 30})
        client->Put("/api/correction?commit=0", session, CorrectionWith("base", "y_gamma", gamma), "application/json");
    client->Put("/api/correction?commit=1", session, CorrectionWith("base", "y_gamma", 40), "application/json");
    client->Put("/api/correction", session, CorrectionWith("base", "y_gamma", 50), "application/json");
    EXPECT_EQ(State(session)["undo"], 2);
    res = client->Post("/api/undo", session, "", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(json::parse(res->body)["correction"]["base"]["y_gamma"], 40);
    client->Post("/api/undo", session, "", "text/plain");
    EXPECT_EQ(State(session)["correction"]["base"]["y_gamma"], 0);
    res = client->Post("/api/undo", session, "", "text/plain");
    EXPECT_EQ(res->status, 409);
    client->Post("/api/redo", session, "", "text/plain");
    EXPECT_EQ(State(session)["correction"]["base"]["y_gamma"], 40);
    // A new change after an undo ends the redo list.
    client->Put("/api/correction", session, CorrectionWith("base", "y_gamma", 7), "application/json");
    res = client->Post("/api/redo", session, "", "text/plain");
    EXPECT_EQ(res->status, 409);
    EXPECT_EQ(State(session)["correction"]["base"]["y_gamma"], 7);
}

// ---- sets ------------------------------------------------------------------------------

TEST_F(ServeServerTest, SetsAreSavedRecalledAndDeleted)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    client->Put("/api/correction", session, CorrectionWith("base", "sat", 33), "application/json");
    auto res = client->Post("/api/sets/define", session, "", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(json::parse(res->body)["slot"], 0);
    client->Put("/api/correction", session, CorrectionWith("base", "sat", -10), "application/json");
    res = client->Post("/api/sets/recall?n=0", session, "", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(json::parse(res->body)["correction"]["base"]["sat"], 33);
    res = client->Get("/api/sets", session);
    ASSERT_TRUE(res);
    const json sets = json::parse(res->body)["sets"];
    ASSERT_EQ(sets.size(), 1u);
    EXPECT_NE(sets[0]["summary"].get<std::string>().find("sat"), std::string::npos) << sets[0]["summary"];
    res = client->Post("/api/sets/delete?n=0", session, "", "text/plain");
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(State(session)["sets"], 0);
}

TEST_F(ServeServerTest, BadSetRequestsAreRefused)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    for (const char* path : {"/api/sets/recall", "/api/sets/recall?n=", "/api/sets/recall?n=x", "/api/sets/recall?n=-1",
                             "/api/sets/recall?n=32", "/api/sets/delete?n=1e3", "/api/sets/delete?n=99999999999999999999"}) {
        auto res = client->Post(path, session, "", "text/plain");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << path;
    }
    auto res = client->Post("/api/sets/recall?n=3", session, "", "text/plain");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 404);
    EXPECT_EQ(ErrorOf(res), "set 3 is not in use");
}

// ---- options and split -------------------------------------------------------------------

TEST_F(ServeServerTest, OptionsAreCheckedOneByOne)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    for (const char* body : {"{\"channel\": 5}", "{\"channel\": -1}", "{\"intensity\": 256}", "{\"six_vector\": 6}",
                             "{\"isolate_vector\": 16}", "{\"isolate_type\": 8}", "{\"channel\": 1.5}",
                             "{\"channel\": \"1\"}", "{\"colour\": 1}", "[1]", "{", "{\"channel\": 1, \"bad\": 2}"}) {
        auto res = client->Post("/api/options", session, body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << body;
    }
    EXPECT_EQ(State(session)["options"]["channel"], 0);
    auto res = client->Post("/api/options", session, "{\"channel\": 4, \"isolate_vector\": 15, \"intensity\": 0}",
                            "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    const json options = State(session)["options"];
    EXPECT_EQ(options["channel"], 4);
    EXPECT_EQ(options["isolate_vector"], 15);
    EXPECT_EQ(options["intensity"], 0);
}

TEST_F(ServeServerTest, TheSplitTakesTwoIntegers)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    for (const char* body : {"{}", "{\"x\": 1}", "{\"x\": 1, \"y\": \"2\"}", "{\"x\": 1.5, \"y\": 2}",
                             "{\"x\": 1, \"y\": 99999999999}", "nothing"}) {
        auto res = client->Post("/api/split", session, body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << body;
    }
    auto res = client->Post("/api/split", session, "{\"x\": -200, \"y\": 100}", "application/json");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_EQ(State(session)["split"], (json{{"x", -200}, {"y", 100}}));
}

// ---- pictures ---------------------------------------------------------------------------------

RgbImage Decoded(const std::string& bytes)
{
    RgbImage image;
    std::string error;
    EXPECT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image, error)) << error;
    return image;
}

std::string PngOf(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    RgbImage image;
    image.width = width;
    image.height = height;
    image.channels = 3;
    for (int i = 0; i < width * height; ++i)
        image.pixels.insert(image.pixels.end(), {r, g, b});
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(EncodeImage(image, ImageFormat::Png, EncodeOptions{}, out, error)) << error;
    return std::string(out.begin(), out.end());
}

TEST_F(ServeServerTest, ScopesAreServedForTheirTypesOnly)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    for (int type : {1, 2, 4, 5, 6, 7}) {
        auto res = client->Get("/api/scope.png?type=" + std::to_string(type), session);
        ASSERT_TRUE(res);
        ASSERT_EQ(res->status, 200) << type;
        const RgbImage scope = Decoded(res->body);
        EXPECT_EQ(scope.width, 384);
        EXPECT_EQ(scope.height, 288);
    }
    for (const char* query : {"", "?type=0", "?type=3", "?type=8", "?type=one", "?type=1 "}) {
        auto res = client->Get(std::string("/api/scope.png") + query, session);
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << query;
    }
}

TEST_F(ServeServerTest, UploadsReplaceThePicturesAndBadOnesChangeNothing)
{
    ServeOptions options;
    options.maxUploadBytes = 4096;
    Start(options);
    const auto session = NewSession();
    auto client = Client();
    auto res = client->Put("/api/source?name=grey.png", session, PngOf(40, 30, 128, 128, 128), "image/png");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    json state = State(session);
    EXPECT_EQ(state["source"]["width"], 40);
    EXPECT_EQ(state["source"]["name"], "grey.png");
    res = client->Get("/api/picture/source.png", session);
    ASSERT_TRUE(res);
    EXPECT_EQ(Decoded(res->body).width, 40);

    res = client->Put("/api/reference?name=x.txt", session, "hello", "image/png");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 415);
    EXPECT_EQ(ErrorOf(res), "x.txt: not a PNG, JPEG or BMP picture");
    std::string truncated = PngOf(40, 30, 10, 200, 30);
    truncated.resize(truncated.size() / 2);
    res = client->Put("/api/reference?name=cut.png", session, truncated, "image/png");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 400);
    res = client->Put("/api/reference", session, std::string(5000, 'x'), "image/png");
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 413);
    state = State(session);
    EXPECT_EQ(state["reference"]["width"], 720);
    EXPECT_EQ(state["reference"]["name"], "");
}

TEST_F(ServeServerTest, APreviewIsAnnouncedOnTheEventStream)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    client->Put("/api/correction", session, CorrectionWith("base", "y_white", 20), "application/json");
    std::string received;
    auto res = client->Get("/api/events", session, [&](const char* data, size_t length) {
        received.append(data, length);
        return received.find("\n\n") == std::string::npos; // stop after the first event
    });
    EXPECT_NE(received.find("event: preview\ndata: {"), std::string::npos) << received;
    EXPECT_NE(received.find("\"width\":720"), std::string::npos) << received;
    auto preview = client->Get("/api/preview.jpg", session);
    ASSERT_TRUE(preview);
    EXPECT_EQ(preview->status, 200);
    EXPECT_EQ(preview->get_header_value("Content-Type"), "image/jpeg");
    EXPECT_EQ(Decoded(preview->body).width, 720);
}

// ---- downloads --------------------------------------------------------------------------------

TEST_F(ServeServerTest, TheCorrectionDownloadsInBothForms)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    client->Put("/api/correction", session, CorrectionWith("base", "hue", -100), "application/json");
    auto res = client->Get("/api/download/correction", session);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->get_header_value("Content-Disposition").find("correction.json"), std::string::npos);
    tagCOLORCORRINFO fromJson, fromBinary;
    CorrectionFormat format;
    std::string error;
    ASSERT_TRUE(ParseCorrection(res->body.data(), res->body.size(), fromJson, format, error)) << error;
    EXPECT_EQ(fromJson.Base.sHue, -100);
    res = client->Get("/api/download/correction?form=binary", session);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->body.size(), 564u);
    ASSERT_TRUE(ParseCorrection(res->body.data(), res->body.size(), fromBinary, format, error)) << error;
    EXPECT_EQ(std::memcmp(&fromJson, &fromBinary, sizeof fromJson), 0);
    res = client->Get("/api/download/correction?form=xml", session);
    EXPECT_EQ(res->status, 400);
}

TEST_F(ServeServerTest, TheLutAndThePictureDownload)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    auto res = client->Get("/api/download/lut?size=2", session);
    ASSERT_TRUE(res);
    EXPECT_EQ(res->status, 200);
    EXPECT_NE(res->body.find("LUT_3D_SIZE 2\n"), std::string::npos);
    for (const char* query : {"?size=1", "?size=257", "?size=x"}) {
        res = client->Get(std::string("/api/download/lut") + query, session);
        EXPECT_EQ(res->status, 400) << query;
    }
    client->Put("/api/source", session, PngOf(8, 4, 200, 100, 50), "image/png");
    res = client->Get("/api/download/picture?format=png", session);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200);
    const RgbImage picture = Decoded(res->body);
    EXPECT_EQ(picture.width, 8);
    EXPECT_EQ(picture.height, 4);
    res = client->Get("/api/download/picture?format=gif", session);
    EXPECT_EQ(res->status, 400);
}

// ---- drags and analyses ---------------------------------------------------------------------

TEST_F(ServeServerTest, AHueDragTurnsTheHueAndIsOneUndoStep)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    auto post = [&](const json& body) { return client->Post("/api/gesture", session, body.dump(), "application/json"); };
    const json drag = {{"kind", "huesat"}, {"values", 0x100000}, {"target", 1}};
    json begin = drag, move = drag, end = drag;
    begin.update({{"phase", "begin"}, {"x", 292}, {"y", 144}});
    move.update({{"phase", "move"}, {"x", 250}, {"y", 60}});
    end.update({{"phase", "end"}, {"x", 192}, {"y", 44}});
    auto res = post(begin);
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    res = post(move);
    ASSERT_EQ(res->status, 200) << res->body;
    EXPECT_EQ(State(session)["undo"], 1); // an unfinished drag counts once
    res = post(end);
    ASSERT_EQ(res->status, 200) << res->body;
    const json state = json::parse(res->body);
    // A quarter turn counter-clockwise (y up) is -127 hue units (255 per half turn).
    EXPECT_EQ(state["correction"]["base"]["hue"], -127);
    EXPECT_EQ(state["undo"], 1);
    client->Post("/api/undo", session, "", "text/plain");
    EXPECT_EQ(State(session)["correction"]["base"]["hue"], 0);
}

TEST_F(ServeServerTest, TheCubeTurnsWithoutChangingTheCorrection)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    auto post = [&](const std::string& phase, int x, int y) {
        const json body = {{"kind", "rotate"}, {"phase", phase}, {"x", x}, {"y", y}};
        return client->Post("/api/gesture", session, body.dump(), "application/json");
    };
    auto first = post("begin", 100, 100);
    ASSERT_EQ(first->status, 200);
    auto res = post("end", 160, 100);
    ASSERT_EQ(res->status, 200);
    EXPECT_NE(json::parse(res->body)["angles"], json::parse(first->body)["angles"]);
    EXPECT_EQ(State(session)["undo"], 0);
}

TEST_F(ServeServerTest, BadDragsAreRefusedBeforeTheViewer)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    const char* bodies[] = {
        R"({"phase": "begin", "x": 1, "y": 1})",
        R"({"kind": "spiral", "phase": "begin", "x": 1, "y": 1})",
        R"({"kind": "rotate", "phase": "start", "x": 1, "y": 1})",
        R"({"kind": "rotate", "phase": "begin", "x": 1})",
        R"({"kind": "rotate", "phase": "begin", "x": 1, "y": 1e9})",
        R"({"kind": "rotate", "phase": "begin", "x": "1", "y": 1})",
        R"({"kind": "coupled", "phase": "begin", "x": 1, "y": 1})",
        R"({"kind": "coupled", "phase": "begin", "x": 1, "y": 1, "values": 8})",
        R"({"kind": "coupled", "phase": "begin", "x": 1, "y": 1, "values": 1, "target": 3})",
        R"({"kind": "huesat", "phase": "begin", "x": 1, "y": 1, "values": 4096})",
        R"({"kind": "match", "phase": "begin", "x": 1, "y": 1, "mode": 9})",
        R"([1, 2])",
        R"(not json)",
    };
    for (const char* body : bodies) {
        auto res = client->Post("/api/gesture", session, body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << body << " -> " << res->body;
    }
    // The match drags work on a vector other than the background.
    auto res = client->Post("/api/gesture", session, R"({"kind": "match", "phase": "begin", "x": 1, "y": 1, "mode": 0})",
                            "application/json");
    EXPECT_EQ(res->status, 409);
    EXPECT_NE(ErrorOf(res).find("background"), std::string::npos);
    EXPECT_EQ(State(session)["undo"], 0);
}

TEST_F(ServeServerTest, AGrayPointSetsTheWhiteFieldsAndSwitchesThePrimaryOn)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    // A bluish gray: the white fields must pull it back to neutral.
    client->Put("/api/source", session, PngOf(32, 32, 110, 120, 160), "image/png");
    auto res = client->Post("/api/analysis", session, R"({"kind": "gray1", "mode": 0, "source": [[5, 5]]})",
                            "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    const json c = json::parse(res->body)["correction"];
    EXPECT_EQ(c["flags"]["primary"], true);
    EXPECT_LT(c["base"]["b_white"].get<int>(), 0);
    EXPECT_GT(c["base"]["r_white"].get<int>(), 0);
    EXPECT_EQ(State(session)["undo"], 1);
}

TEST_F(ServeServerTest, AMatchVectorIsTakenFromARegion)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    auto res = client->Post("/api/analysis", session, R"({"kind": "mv_add", "source_rect": [0, 0, 20, 20], "vector": 1})",
                            "application/json");
    EXPECT_EQ(res->status, 409);
    // The red bar of the default picture.
    res = client->Post("/api/analysis", session, R"({"kind": "mv_get", "source_rect": [530, 50, 560, 100]})",
                       "application/json");
    ASSERT_TRUE(res);
    ASSERT_EQ(res->status, 200) << res->body;
    const json state = json::parse(res->body);
    EXPECT_EQ(state["vector"], 1);
    EXPECT_EQ(state["correction"]["match"]["count"], 2);
    EXPECT_EQ(state["correction"]["flags"]["match_vector"], true);
    EXPECT_GT(state["correction"]["match"]["vectors"][1]["v"].get<int>(), 30); // red: V well above 0
    EXPECT_EQ(state["options"]["isolate_vector"], 1);
    // Now the match drags have a vector to shape.
    res = client->Post("/api/gesture", session, R"({"kind": "match", "phase": "begin", "x": 192, "y": 144, "mode": 0})",
                       "application/json");
    EXPECT_EQ(res->status, 200) << res->body;
    res = client->Post("/api/gesture", session, R"({"kind": "match", "phase": "end", "x": 212, "y": 124, "mode": 0})",
                       "application/json");
    ASSERT_EQ(res->status, 200) << res->body;
    const json v = json::parse(res->body)["correction"]["match"]["vectors"][1];
    EXPECT_EQ(v["u"], 20);
    EXPECT_EQ(v["v"], 20);
}

TEST_F(ServeServerTest, BadAnalysesAreRefusedWithTheReason)
{
    Start();
    const auto session = NewSession();
    auto client = Client();
    struct Case {
        const char* body;
        const char* message;
    } cases[] = {
        {R"({"kind": "grey"})", "unknown analysis"},
        {R"({"source": [[1, 1]]})", "missing kind"},
        {R"({"kind": "gray1", "mode": 0})", "source must hold 1 point"},
        {R"({"kind": "gray1", "mode": 0, "source": [[1, 1], [2, 2]]})", "source must hold 1 point"},
        {R"({"kind": "gray1", "mode": 0, "source": [[720, 1]]})", "outside the 720 x 480 source"},
        {R"({"kind": "gray1", "mode": 0, "source": [[-1, 1]]})", "outside"},
        {R"({"kind": "gray1", "mode": 0, "source": [[1.5, 1]]})", "two integers"},
        {R"({"kind": "gray1", "mode": 4, "source": [[1, 1]]})", "mode must be an integer in 0..3"},
        {R"({"kind": "tone1", "mode": 1, "source": [[1, 1]], "reference": [[1, 1]]})", "mode must be 0"},
        {R"({"kind": "tone1", "mode": 0, "source": [[1, 1]]})", "reference must hold 1 point"},
        {R"({"kind": "color3", "source": [[1, 1], [2, 2], [3, 3]], "reference": [[1, 1]]})", "3 points"},
        {R"({"kind": "histo", "source_rect": [0, 0, 50, 50]})", "reference_rect"},
        {R"({"kind": "histo", "source_rect": [50, 0, 10, 50], "reference_rect": [0, 0, 50, 50]})", "left < right"},
        {R"({"kind": "hue", "source_rect": [0, 0, 50, 50], "reference_rect": [0, 0, 721, 50]})", "within the 720 x 480"},
        {R"({"kind": "mv_get", "source_rect": [0, 0, 50]})", "[left, top, right, bottom]"},
    };
    for (const Case& c : cases) {
        auto res = client->Post("/api/analysis", session, c.body, "application/json");
        ASSERT_TRUE(res);
        EXPECT_EQ(res->status, 400) << c.body;
        EXPECT_NE(ErrorOf(res).find(c.message), std::string::npos) << c.body << " -> " << ErrorOf(res);
    }
    EXPECT_EQ(State(session)["undo"], 0);
}

// ---- isolation between sessions ----------------------------------------------------------------

TEST_F(ServeServerTest, BadRequestsInOneSessionLeaveAnotherAlone)
{
    Start();
    const auto a = NewSession();
    const auto b = NewSession();
    auto client = Client();
    client->Put("/api/correction", b, CorrectionWith("base", "sat", 12), "application/json");
    client->Post("/api/sets/define", b, "", "text/plain");
    const json before = State(b);
    client->Put("/api/correction", a, CorrectionWith("base", "sat", 999), "application/json");
    client->Post("/api/options", a, "{\"channel\": 99}", "application/json");
    client->Post("/api/sets/recall?n=0", a, "", "text/plain");
    client->Post("/api/sets/clear", a, "", "text/plain");
    client->Put("/api/source", a, "garbage", "image/png");
    client->Post("/api/undo", a, "", "text/plain");
    client->Put("/api/correction", a, CorrectionWith("base", "sat", -5), "application/json");
    json after = State(b);
    after.erase("preview");
    json expected = before;
    expected.erase("preview");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(State(a)["correction"]["base"]["sat"], -5);
}

} // namespace
} // namespace colorcorrect::cli
