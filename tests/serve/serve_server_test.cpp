// The serve command's HTTP interface over a real loopback connection:
// sessions, the validation of every kind of request, history, sets, drags and
// analyses, and that one session's requests leave the others alone.

#include <gtest/gtest.h>
#include <httplib.h>
#include <nlohmann/json.hpp>

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <thread>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/image_io.h>
#include "serve_server.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;
namespace {

using nlohmann::json;

struct Reply {
    int status = 0;
    std::string body;
    json Json() const { return json::parse(body, nullptr, false); }
    std::string Error() const { return Json().is_object() ? Json().value("error", body) : body; }
};

std::string Correction(const std::string& group, const std::string& key, int value)
{
    return json{{"format", "colorcorrect-correction"}, {"version", 1}, {group, {{key, value}}}}.dump();
}

std::string PngOf(int width, int height, uint8_t r, uint8_t g, uint8_t b)
{
    RgbImage image{width, height, 3, {}};
    for (int i = 0; i < width * height; ++i)
        image.pixels.insert(image.pixels.end(), {r, g, b});
    std::vector<uint8_t> out;
    std::string error;
    EXPECT_TRUE(EncodeImage(image, ImageFormat::Png, EncodeOptions{}, out, error)) << error;
    return std::string(out.begin(), out.end());
}

// A 2 x 2 file of `format` whose header claims 8000 x 8000 pixels.
std::string Claiming8000(ImageFormat format)
{
    std::vector<uint8_t> f;
    std::string error;
    EncodeImage(RgbImage{2, 2, 3, std::vector<uint8_t>(12, 90)}, format, EncodeOptions{}, f, error);
    const uint8_t sof[] = {0xFF, 0xC0}; // width and height: big-endian after IHDR or SOF, little-endian in BMP
    const size_t at = format == ImageFormat::Png   ? 16
                      : format == ImageFormat::Bmp ? 18
                                                   : size_t(std::search(f.begin(), f.end(), sof, sof + 2) - f.begin()) + 5;
    const int bytes = format == ImageFormat::Jpeg ? 2 : 4;
    for (int i = 0; i < 2 * bytes; ++i)
        f[at + size_t(i)] = uint8_t(8000 >> 8 * (format == ImageFormat::Bmp ? i % bytes : bytes - 1 - i % bytes));
    const uint32_t crc = uint32_t(crc32(0, f.data() + 12, 17));
    for (int k = 0; k < 4 && format == ImageFormat::Png; ++k)
        f[29 + size_t(k)] = uint8_t(crc >> (24 - 8 * k));
    return std::string(f.begin(), f.end());
}

RgbImage Decoded(const std::string& bytes)
{
    RgbImage image;
    std::string error;
    EXPECT_TRUE(DecodeImage(reinterpret_cast<const uint8_t*>(bytes.data()), bytes.size(), image, error)) << error;
    return image;
}

// A server on a free loopback port with one session open.
class ServeServerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ServeOptions options;
        options.host = "127.0.0.1";
        options.port = 0;
        options.maxUploadBytes = 16384;
        options.maxSessions = 2;
        m_server = std::make_unique<ServeServer>(options);
        std::string error;
        ASSERT_TRUE(m_server->Bind(error)) << error;
        m_thread = std::thread([this] { m_server->Run(); });
        m_client = std::make_unique<httplib::Client>("127.0.0.1", m_server->Port());
        m_client->set_read_timeout(std::chrono::seconds(60));
        m_session = NewSession();
    }
    void TearDown() override
    {
        m_server->Stop();
        m_thread.join();
    }
    httplib::Headers NewSession()
    {
        const std::string cookie = m_client->Post("/api/session")->get_header_value("Set-Cookie");
        EXPECT_EQ(cookie.rfind(std::string(kSessionCookie) + "=", 0), 0u) << cookie;
        return {{"Cookie", cookie.substr(0, cookie.find(';'))}};
    }
    // "GET /path", "POST /path" or "PUT /path" in a session.
    Reply SendAs(const httplib::Headers& session, const std::string& request, const std::string& body = "")
    {
        const std::string method = request.substr(0, request.find(' ')), path = request.substr(method.size() + 1);
        const char* type = body.rfind("\x89PNG", 0) == 0  ? "image/png"
                           : body.rfind("form=", 0) == 0 ? "application/x-www-form-urlencoded"
                                                         : "application/json";
        auto res = method == "GET"    ? m_client->Get(path, session)
                   : method == "POST" ? m_client->Post(path, session, body, type)
                                      : m_client->Put(path, session, body, type);
        return res ? Reply{res->status, res->body} : Reply{0, "(no answer)"};
    }
    Reply Send(const std::string& request, const std::string& body = "") { return SendAs(m_session, request, body); }
    json State(const httplib::Headers& session) { return SendAs(session, "GET /api/state").Json(); }
    json State() { return State(m_session); }

    std::unique_ptr<ServeServer> m_server;
    std::thread m_thread;
    std::unique_ptr<httplib::Client> m_client;
    httplib::Headers m_session;
};

TEST_F(ServeServerTest, SessionsAreMadeUpToTheLimitAndUnknownOnesAreRefused)
{
    EXPECT_EQ(SendAs({}, "GET /api/state").status, 401);
    EXPECT_EQ(SendAs({{"Cookie", "cc_session=0123456789abcdef0123456789abcdef"}}, "GET /api/state").Error(),
              "no session or the session has expired: reload the page");
    auto page = m_client->Get("/"); // the page's script makes its session, not the page
    EXPECT_NE(page->body.find("<script type=\"module\" src=\"app.js\">"), std::string::npos);
    EXPECT_FALSE(page->has_header("Set-Cookie"));
    EXPECT_NE(m_client->Post("/api/session")->get_header_value("Set-Cookie").find("HttpOnly"), std::string::npos);
    auto third = m_client->Post("/api/session");
    EXPECT_EQ(third->status, 503);
    EXPECT_EQ((Reply{0, third->body}).Error().find("too many sessions are open (at most 2); close another page or try again in "), 0u) << third->body;
    EXPECT_GE(third->get_header_value<uint64_t>("Retry-After"), 1u); // within the page-gone limit
    EXPECT_LE(third->get_header_value<uint64_t>("Retry-After"), 90u);
    EXPECT_EQ(m_server->Sessions().Count(), 2u);
    EXPECT_EQ(State()["source"], (json{{"width", 720}, {"height", 480}, {"name", ""}}));
}

TEST_F(ServeServerTest, EventStreamsAreLimited)
{
    const httplib::Headers other = NewSession();
    std::vector<std::thread> held;
    const auto stream = [this](const httplib::Headers& session, bool hold) {
        httplib::Client client("127.0.0.1", m_server->Port());
        client.set_read_timeout(std::chrono::seconds(60));
        std::string body; // a refusal, or the start of a stream (held until the server stops, or left)
        auto res = client.Get("/api/events", session, [&](const char* data, size_t n) {
            body.append(data, n);
            return hold || (body.find("event:") == std::string::npos && body.find(": waiting") == std::string::npos);
        });
        return Reply{res ? res->status : 0, body};
    };
    for (unsigned i = 1; i <= 4; ++i) {
        held.emplace_back(stream, i < 4 ? m_session : other, true);
        const auto s = m_server->Sessions().Find((i < 4 ? m_session : other).begin()->second.substr(strlen("cc_session=")));
        while (s->Streams() < (i < 4 ? i : 1))
            std::this_thread::yield();
    }
    EXPECT_EQ(stream(m_session, false).Error(), "this page has 3 event streams open already: close some of its tabs");
    EXPECT_EQ(stream(other, false).Error(), "the server has its most event streams open (4): try again later");
    m_server->Stop();
    for (std::thread& t : held)
        t.join();
}

TEST_F(ServeServerTest, RequestsForAnotherHostNameAreRefused)
{
    const std::string port = std::to_string(m_server->Port());
    for (const std::string& host : {"evil.example:" + port, std::string("127.0.0.1"), std::string("127.0.0.1:1"), "localhost.evil:" + port})
        EXPECT_EQ(m_client->Get("/app.js", {{"Host", host}})->status, 421) << host;
    EXPECT_EQ(m_server->Sessions().Count(), 1u);
    for (const std::string& host : {"localhost:" + port, "127.0.0.1:" + port})
        EXPECT_EQ(m_client->Get("/app.js", {{"Host", host}})->status, 200) << host;
}

// Stop ends Run whenever it comes: before Run, or while Run starts (a race, so repeated).
TEST(ServeServerStop, EndsRunWheneverItComes)
{
    for (int i = 0; i < 20; ++i) {
        ServeOptions options; // on the loopback address
        options.port = 0;
        ServeServer server(options);
        std::string error;
        ASSERT_TRUE(server.Bind(error)) << error;
        if (i == 0)
            server.Stop();
        std::thread run([&server] { server.Run(); });
        server.Stop();
        run.join();
    }
}

TEST(SessionRegistryTest, ASessionWithoutAPageExpiresSoonerThanOneWithAStream)
{
    SessionRegistry registry(4, std::chrono::hours(1), std::chrono::seconds(0));
    std::string error;
    auto open = registry.Create(error);
    ASSERT_TRUE(open && open->AddStream(1)) << error;
    auto gone = registry.Create(error);
    ASSERT_TRUE(gone) << error;
    while (ServeSession::Clock::now() <= gone->LastUsed())
        std::this_thread::yield();
    EXPECT_EQ(registry.Expire(), 1u);
    EXPECT_EQ(registry.Find(gone->Id()), nullptr);
    EXPECT_TRUE(gone->Previews().Closed());
    EXPECT_EQ(registry.Find(open->Id()), open);
}


TEST_F(ServeServerTest, BadRequestsAreRefusedWithTheReasonAndChangeNothing)
{
    std::string truncated = PngOf(40, 30, 10, 200, 30);
    truncated.resize(truncated.size() / 2);
    struct Case {
        std::string request, body;
        int status;
        std::string message; // the start of the error, or a part of it after "..."
    } cases[] = {
        {"GET /nothing.js", "", 404, "no such file"},
        {"GET /../secret.css", "", 404, ""},
        {"PUT /api/correction", Correction("base", "y_gamma", 300), 400, "...base.y_gamma 300 is outside -255..255"},
        {"PUT /api/correction", R"({"format": "colorcorrect-correction"})", 400, "...version"},
        {"PUT /api/correction", Correction("base", "nonsense", 1), 400, "...nonsense"},
        {"PUT /api/correction?commit=2", Correction("base", "sat", 5), 400, "...commit"},
        {"POST /api/undo", "", 409, "nothing to undo"},
        {"POST /api/redo", "", 409, "nothing to redo"},
        {"POST /api/sets/recall?n=x", "", 400, "parameter n must be an integer in 0..31"},
        {"POST /api/sets/recall?n=32", "", 400, "parameter n"},
        {"POST /api/sets/delete?n=99999999999999999999", "", 400, "parameter n"},
        {"POST /api/sets/recall?n=3", "", 404, "set 3 is not in use"},
        {"POST /api/options", R"({"channel": 5})", 400, "channel must be an integer in 0..4"},
        {"POST /api/options", R"({"intensity": 256})", 400, "intensity must be an integer in 0..255"},
        {"POST /api/options", R"({"six_vector": 6})", 400, "six_vector must be an integer in 0..5"},
        {"POST /api/options", R"({"isolate_vector": 16})", 400, "isolate_vector must be an integer in 0..15"},
        {"POST /api/options", R"({"isolate_type": 8})", 400, "isolate_type must be an integer in 0..7"},
        {"POST /api/options", R"({"channel": 1, "bad": 2})", 400, "unknown option \"bad\""},
        {"POST /api/options", "[1]", 400, "the request body must be a JSON object"},
        {"POST /api/split", "{}", 400, "x must be an integer in -1000000..1000000"},
        {"POST /api/split", R"({"x": 1, "y": "2"})", 400, "y must be"},
        {"POST /api/split", R"({"x": 1, "y": 99999999999})", 400, "y must be"},
        {"GET /api/preview.jpg?w=0&h=1", "", 400, "parameter w must be an integer in 1..65535"},
        {"GET /api/scope.png?type=3", "", 400, "...type"},
        {"GET /api/scope.png?type=8", "", 400, "...type"},
        {"PUT /api/reference?name=x.txt", "hello", 415, "x.txt: not a PNG, JPEG or BMP picture"},
        {"PUT /api/reference?name=cut.png", truncated, 400, "cut.png"},
        {"PUT /api/reference", std::string(20000, 'x'), 413, "the request is larger than the server accepts (at most 16384 bytes"},
        {"POST /api/options", "form=" + std::string(9000, 'x'), 413, "a body sent as a form (application/x-www-form-urlencoded) is limited to 8 KB"},
        // Refused from the header, before 256 MB are taken for the pixels.
        {"PUT /api/reference?name=p.png", Claiming8000(ImageFormat::Png), 413, "p.png: the picture is 8000 x 8000, more than the 40 million pixels allowed"},
        {"PUT /api/reference?name=j.jpg", Claiming8000(ImageFormat::Jpeg), 413, "j.jpg: the picture is 8000 x 8000"},
        {"PUT /api/reference?name=b.bmp", Claiming8000(ImageFormat::Bmp), 413, "b.bmp: the picture is 8000 x 8000"},
        {"GET /api/download/correction?form=xml", "", 400, ""},
        {"GET /api/download/lut?size=257", "", 400, "parameter size"},
        {"GET /api/download/lut?size=66", "", 400, "size 66 is larger than programs that read .cube files take: use 2..65"},
        {"GET /api/download/picture?format=gif", "", 400, ""},
        {"POST /api/gesture", R"({"phase": "begin", "x": 1, "y": 1})", 400, "missing kind"},
        {"POST /api/gesture", R"({"kind": "spiral", "phase": "begin", "x": 1, "y": 1})", 400, "kind must be coupled, huesat"},
        {"POST /api/gesture", R"({"kind": "rotate", "phase": "begin", "x": 1, "y": 1e9})", 400, "...y"},
        {"POST /api/gesture", R"({"kind": "coupled", "phase": "begin", "x": 1, "y": 1, "values": 1, "target": 3})", 400, ""},
        {"POST /api/gesture", R"({"kind": "huesat", "phase": "begin", "x": 1, "y": 1, "values": 4096})", 400, ""},
        // The match drags shape a match vector other than the background.
        {"POST /api/gesture", R"({"kind": "match", "phase": "begin", "x": 1, "y": 1, "mode": 0})", 409, "...background"},
        {"POST /api/analysis", R"({"kind": "grey"})", 400, "unknown analysis"},
        {"POST /api/analysis", R"({"source": [[1, 1]]})", 400, "missing kind"},
        {"POST /api/analysis", R"({"kind": "gray1", "mode": 0})", 400, "...source must hold 1 point"},
        {"POST /api/analysis", R"({"kind": "gray1", "mode": 0, "source": [[720, 1]]})", 400, "...outside the 720 x 480"},
        {"POST /api/analysis", R"({"kind": "gray1", "mode": 4, "source": [[1, 1]]})", 400, "mode must be an integer in 0..3"},
        {"POST /api/analysis", R"({"kind": "tone1", "mode": 1, "source": [[1, 1]], "reference": [[1, 1]]})", 400, "...mode must be 0"},
        {"POST /api/analysis", R"({"kind": "histo", "source_rect": [50, 0, 10, 50], "reference_rect": [0, 0, 5, 5]})", 400, "...left < right"},
        {"POST /api/analysis", R"({"kind": "mv_get", "source_rect": [0, 0, 50]})", 400, "...[left, top, right, bottom]"},
        {"POST /api/analysis", R"({"kind": "mv_add", "source_rect": [0, 0, 20, 20], "vector": 1})", 409, ""},
    };
    const json before = State();
    for (const Case& c : cases) {
        const Reply reply = Send(c.request, c.body);
        EXPECT_EQ(reply.status, c.status) << c.request << " " << c.body.substr(0, 80) << " -> " << reply.body;
        const bool anywhere = c.message.rfind("...", 0) == 0;
        const size_t at = reply.Error().find(anywhere ? c.message.substr(3) : c.message);
        EXPECT_TRUE(anywhere ? at != std::string::npos : at == 0) << c.request << " -> " << reply.Error();
    }
    const auto chunked = m_client->Post("/api/undo", m_session, [](size_t, httplib::DataSink& sink) { return sink.done(), true; }, "text/plain");
    EXPECT_EQ((Reply{chunked->status, chunked->body}).Error().rfind("the request must give its body's length in a Content-Length header", 0), 0u);
    json after = State(), expected = before;
    after.erase("preview");
    expected.erase("preview");
    EXPECT_EQ(after, expected);
}

TEST_F(ServeServerTest, EveryKindOfRequestIsServed)
{
    ASSERT_EQ(Send("PUT /api/correction", Correction("base", "hue", -100)).status, 200);
    // The correction downloads in both forms, which read back alike.
    const std::string text = Send("GET /api/download/correction").body;
    const std::string binary = Send("GET /api/download/correction?form=binary").body;
    tagCOLORCORRINFO fromJson, fromBinary;
    CorrectionFormat format;
    std::string error;
    ASSERT_TRUE(ParseCorrection(text.data(), text.size(), fromJson, format, error) &&
                ParseCorrection(binary.data(), binary.size(), fromBinary, format, error)) << error;
    EXPECT_EQ(fromJson.Base.sHue, -100);
    EXPECT_EQ(binary.size(), 564u);
    EXPECT_EQ(std::memcmp(&fromJson, &fromBinary, sizeof fromJson), 0);
    const std::string lut = Send("GET /api/download/lut?size=65").body; // sent a slice at a time
    EXPECT_NE(lut.find("LUT_3D_SIZE 65\n"), std::string::npos);
    EXPECT_EQ(std::count(lut.begin(), lut.end(), '\n'), 5 + 65 * 65 * 65);
    for (int type : {1, 2, 4, 5, 6, 7})
        EXPECT_EQ(Decoded(Send("GET /api/scope.png?type=" + std::to_string(type)).body).width, 384) << type;
    ASSERT_EQ(Send("POST /api/options", R"({"channel": 4, "isolate_vector": 15, "intensity": 0})").status, 200);
    ASSERT_EQ(Send("POST /api/split", R"({"x": -200, "y": 100})").status, 200);
    ASSERT_EQ(Send("PUT /api/source?name=grey.png", PngOf(8, 4, 200, 100, 50)).status, 200);
    const json state = State(), options = state["options"];
    EXPECT_EQ(json({options["channel"], options["isolate_vector"], options["intensity"]}), json({4, 15, 0}));
    EXPECT_EQ(state["split"], (json{{"x", -200}, {"y", 100}}));
    EXPECT_EQ(state["source"], (json{{"width", 8}, {"height", 4}, {"name", "grey.png"}}));
    EXPECT_EQ(Decoded(Send("GET /api/picture/source.png").body).height, 4);
    EXPECT_EQ(Decoded(Send("GET /api/download/picture?format=png").body).height, 4);
    // The page builds its controls from the field catalogue.
    const json schema = Send("GET /api/schema").Json();
    for (const FieldGroup* g : {&kBaseGroup, &kSegmentGroup, &kMatchVectorGroup})
        for (size_t i = 0; i < g->fields.size(); ++i) {
            const CorrectionField& f = g->fields[i];
            const json& served = schema["groups"][g->name]["fields"][i];
            EXPECT_EQ(json::array({served["name"], served["min"], served["max"], served["neutral"]}),
                      json::array({f.name, f.min, f.max, f.neutral})) << f.name;
        }
}

TEST_F(ServeServerTest, UndoAndRedoFollowTheCommittedSteps)
{
    // Steps of a drag (commit=0) are not kept; the end of it is one step.
    for (int gamma : {10, 20, 30})
        Send("PUT /api/correction?commit=0", Correction("base", "y_gamma", gamma));
    Send("PUT /api/correction?commit=1", Correction("base", "y_gamma", 40));
    Send("PUT /api/correction", Correction("base", "y_gamma", 50));
    EXPECT_EQ(State()["undo"], 2);
    EXPECT_EQ(Send("POST /api/undo").Json()["correction"]["base"]["y_gamma"], 40);
    Send("POST /api/undo");
    EXPECT_EQ(State()["correction"]["base"]["y_gamma"], 0);
    EXPECT_EQ(Send("POST /api/undo").status, 409);
    EXPECT_EQ(Send("POST /api/redo").Json()["correction"]["base"]["y_gamma"], 40);
    // A new change after an undo ends the redo list.
    Send("PUT /api/correction", Correction("base", "y_gamma", 7));
    EXPECT_EQ(Send("POST /api/redo").status, 409);
    EXPECT_EQ(State()["correction"]["base"]["y_gamma"], 7);
}

TEST_F(ServeServerTest, SetsAreSavedRecalledAndDeleted)
{
    Send("PUT /api/correction", Correction("base", "sat", 33));
    EXPECT_EQ(Send("POST /api/sets/define").Json()["slot"], 0);
    EXPECT_EQ(State()["sets"], 1);
    EXPECT_NE(Send("GET /api/sets").Json()["sets"][0]["summary"].get<std::string>().find("sat"), std::string::npos);
    // A recall during a drag: the drag's end and the recall are two steps.
    Send("PUT /api/correction?commit=0", Correction("base", "sat", -10));
    const json recalled = Send("POST /api/sets/recall?n=0").Json();
    EXPECT_EQ(json({recalled["correction"]["base"]["sat"], recalled["undo"]}), json({33, 3}));
    EXPECT_EQ(Send("POST /api/undo").Json()["correction"]["base"]["sat"], -10);
    EXPECT_EQ(Send("POST /api/sets/delete?n=0").status, 200);
    EXPECT_EQ(State()["sets"], 0);
}

TEST_F(ServeServerTest, APreviewIsAnnouncedOnTheEventStream)
{
    Send("PUT /api/correction", Correction("base", "y_white", 20));
    std::string received;
    m_client->Get("/api/events", m_session, [&](const char* data, size_t length) {
        received.append(data, length);
        return received.find("\n\n") == std::string::npos; // stop after the first event
    });
    EXPECT_EQ(received.rfind("event: preview\ndata: {", 0), 0u) << received;
    EXPECT_NE(received.find("\"width\":720"), std::string::npos) << received;
    const RgbImage full = Decoded(Send("GET /api/preview.jpg").body);
    EXPECT_EQ(full.width, 720);
    const RgbImage shown = Decoded(Send("GET /api/preview.jpg?w=360&h=1000").body); // the size it is shown at
    ASSERT_EQ(json({shown.width, shown.height}), json({360, 240}));
    // Each shown pixel is the average of its 2 x 2 block: against the full
    // preview averaged so, only the two JPEG encodings differ.
    double difference = 0;
    for (int y = 0; y < 240; ++y)
        for (int x = 0; x < 360 * 3; ++x) {
            const auto at = [&](int dy, int dx) { return full.Row(2 * y + dy)[(2 * (x / 3) + dx) * 3 + x % 3]; };
            difference += std::abs((at(0, 0) + at(0, 1) + at(1, 0) + at(1, 1)) / 4.0 - shown.Row(y)[x]);
        }
    EXPECT_LT(difference / (360 * 240 * 3), 2.0);
}

TEST_F(ServeServerTest, DragsAndAnalysesChangeTheCorrectionInOneStep)
{
    auto gesture = [&](const std::string& kind, const std::string& phase, int x, int y, json extra = json::object()) {
        return Send("POST /api/gesture", (extra.update({{"kind", kind}, {"phase", phase}, {"x", x}, {"y", y}}), extra).dump());
    };
    // A quarter turn counter-clockwise (y up) on the vector scope is -127 hue
    // units (255 per half turn); an unfinished drag counts as one step.
    const json hue = {{"values", 0x100000}, {"target", 1}};
    ASSERT_EQ(gesture("huesat", "begin", 292, 144, hue).status, 200);
    ASSERT_EQ(gesture("huesat", "move", 250, 60, hue).status, 200);
    EXPECT_EQ(State()["undo"], 1);
    const json turned = gesture("huesat", "end", 192, 44, hue).Json();
    EXPECT_EQ(json({turned["correction"]["base"]["hue"], turned["undo"], turned["correction"]["flags"]["primary"]}),
              json({-127, 1, true})); // the drag switched the primary group on
    Send("POST /api/undo");
    // A match vector from the red bar of the default picture, then dragged.
    const json red = Send("POST /api/analysis", R"({"kind": "mv_get", "source_rect": [530, 50, 560, 100]})").Json();
    EXPECT_EQ(json({red["vector"], red["correction"]["match"]["count"], red["options"]["isolate_vector"]}), json({1, 2, 1}));
    EXPECT_EQ(red["correction"]["flags"]["match_vector"], true);
    EXPECT_GT(red["correction"]["match"]["vectors"][1]["v"].get<int>(), 30); // red: V well above 0
    ASSERT_EQ(gesture("match", "begin", 192, 144, {{"mode", 0}}).status, 200);
    const json moved = gesture("match", "end", 212, 124, {{"mode", 0}}).Json()["correction"]["match"]["vectors"][1];
    EXPECT_EQ(json({moved["u"], moved["v"]}), json({20, 20}));
}

TEST_F(ServeServerTest, RequestsInOneSessionLeaveAnotherAlone)
{
    const auto& a = m_session;
    const auto b = NewSession();
    SendAs(b, "PUT /api/correction", Correction("base", "sat", 12));
    SendAs(b, "POST /api/sets/define");
    json before = State(b);
    for (const auto& [request, body] : std::initializer_list<std::pair<std::string, std::string>>{
             {"PUT /api/correction", Correction("base", "sat", 999)}, {"POST /api/options", R"({"channel": 99})"},
             {"POST /api/sets/recall?n=0", ""}, {"POST /api/sets/clear", ""}, {"PUT /api/source", "garbage"},
             {"POST /api/undo", ""}, {"PUT /api/correction", Correction("base", "sat", -5)}})
        SendAs(a, request, body);
    json after = State(b);
    after.erase("preview"); // the previews' numbers may differ
    before.erase("preview");
    EXPECT_EQ(after, before);
    EXPECT_EQ(State(a)["correction"]["base"]["sat"], -5);
}

} // namespace
} // namespace colorcorrect::cli
