// The HTTP interface of `colorcorrect serve`: docs/serve.md describes every
// request, its parameters and its answers. The handlers below follow the
// order of that list; Handlers() registers them from two tables, the routes
// open to anyone and the routes of a session (which need the cc_session
// cookie and answer 401 without a known one).

#include "serve_server.h"

#include <httplib.h>
#include <nlohmann/json.hpp>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <new>
#include <mutex>
#include <optional>
#include <thread>

#include <colorcorrect/formats/correction_file.h>
#include <colorcorrect/formats/correction_processor.h>
#include <colorcorrect/formats/correction_summary.h>
#include <colorcorrect/formats/cube_lut.h>
#include <colorcorrect/formats/file_io.h>
#include <colorcorrect/formats/image_io.h>

#include "serve_actions.h"
#include "serve_request.h"
#include "serve_state.h"
#include "web_assets.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

using nlohmann::json;

// The largest .cube the server writes: programs that read the format
// commonly take up to 65 points a side; a larger table costs time and memory
// (256 points: 450 MB of text) and helps nobody.
constexpr int kMaxServeCubeSize = 65;
// Event streams one session may hold: a page shares one among its tabs, and
// a reloaded tab's old stream lingers until the next keep-alive finds it gone.
constexpr unsigned kMaxStreamsPerSession = 3;
// Threads of the pool that only ever answer requests (see MaxStreams).
constexpr size_t kRequestThreads = 16;
// How long an event stream waits for a preview before it sends a keep-alive
// comment (which also tells the server the page is still open).
constexpr std::chrono::seconds kEventKeepAlive{10};

// An integer parameter: nullopt (after an error response) when present but
// not an integer within lo..hi; `fallback` when absent.
std::optional<long long> IntParam(const httplib::Request& req, httplib::Response& res, const char* name,
                                  long long lo, long long hi, std::optional<long long> fallback)
{
    if (!req.has_param(name)) {
        if (!fallback)
            SendError(res, 400, std::string("missing parameter ") + name);
        return fallback;
    }
    const std::string text = req.get_param_value(name);
    const std::optional<long long> value = ParseIntegerParam(text, lo, hi);
    if (!value)
        SendError(res, 400,
                  std::string("parameter ") + name + " must be an integer in " + std::to_string(lo) + ".." +
                      std::to_string(hi) + ", not \"" + text.substr(0, 40) + "\"");
    return value;
}

// The body as a JSON object, or nullopt after an error response.
std::optional<json> JsonBody(const httplib::Request& req, httplib::Response& res)
{
    std::optional<json> body = ParseJsonObject(req.body);
    if (!body)
        SendError(res, 400, "the request body must be a JSON object");
    return body;
}

bool EncodePngImage(const RgbImage& image, std::vector<uint8_t>& out, std::string& error)
{
    return EncodeImage(image, ImageFormat::Png, EncodeOptions{}, out, error);
}

void SendBytes(httplib::Response& res, const std::vector<uint8_t>& bytes, const char* type,
               const std::string& attachment = {})
{
    res.status = 200;
    res.set_header("Cache-Control", "no-store");
    if (!attachment.empty())
        res.set_header("Content-Disposition", "attachment; filename=\"" + attachment + "\"");
    res.set_content(reinterpret_cast<const char*>(bytes.data()), bytes.size(), type);
}

} // namespace

struct ServeServer::Impl {
    explicit Impl(const ServeOptions& o)
        : options(o), sessions(o.maxSessions, std::chrono::minutes(o.idleMinutes))
    {
    }

    ServeOptions options;
    SessionRegistry sessions;
    httplib::Server http;
    int port = 0;
    std::atomic<bool> stopping{false};
    std::mutex runMutex;             // orders Run's start against Stop
    std::atomic<bool> running{false}; // Run has begun and not yet returned
    RgbImage startSource, startReference;
    std::string startSourceName, startReferenceName;
    std::atomic<size_t> openStreams{0}; // event streams of all sessions

    // Each event stream holds a thread of the pool for as long as it is
    // open; the pool has this many for them and kRequestThreads besides, so
    // that open pages can never leave requests without a thread.
    size_t MaxStreams() const { return options.maxSessions * 2; }

    std::shared_ptr<ServeSession> NewSession(std::string& error, std::chrono::seconds* retryAfter)
    {
        auto session = sessions.Create(error, retryAfter);
        if (!session)
            return nullptr;
        if (startSource.width > 0 && !session->SetSource(startSource, startSourceName, error))
            return nullptr;
        if (startReference.width > 0 && !session->SetReference(startReference, startReferenceName, error))
            return nullptr;
        return session;
    }

    // --publish: a request that changed its session's correction writes it
    // to the file whole (under a temporary name, then renamed), so that a
    // pipeline following the file never reads half a look. GET requests
    // change nothing.
    std::mutex publishMutex;
    std::optional<tagCOLORCORRINFO> BeforeRequest(const httplib::Request& req, ServeSession& session)
    {
        if (options.publish.empty() || req.method == "GET")
            return std::nullopt;
        return session.State().correction;
    }
    void Publish(ServeSession& session, const std::optional<tagCOLORCORRINFO>& before)
    {
        if (!before)
            return;
        std::lock_guard<std::mutex> lock(publishMutex);
        const tagCOLORCORRINFO now = session.State().correction;
        if (now == *before)
            return;
        const std::string text = CorrectionToJson(now);
        std::string error;
        if (!WriteWholeFile(options.publish, text.data(), text.size(), error))
            std::fprintf(stderr, "serve: %s: %s\n", options.publish.c_str(), error.c_str());
    }

    // The request's session, or null after a 401 response.
    std::shared_ptr<ServeSession> SessionOf(const httplib::Request& req, httplib::Response& res)
    {
        const std::string id = CookieValue(req.get_header_value("Cookie"), kSessionCookie);
        auto session = id.empty() ? nullptr : sessions.Find(id);
        if (!session)
            SendError(res, 401, "no session or the session has expired: reload the page");
        return session;
    }

    void SetCookie(httplib::Response& res, const ServeSession& session)
    {
        res.set_header("Set-Cookie",
                       std::string(kSessionCookie) + "=" + session.Id() + "; Path=/; HttpOnly; SameSite=Strict");
    }

    // True for the Host header of a request to this server: the address it
    // listens on or, when that is a loopback or any address, "localhost",
    // "127.0.0.1" or "[::1]", with the bound port. A server listening on all
    // addresses of a host that others reach by name accepts any name.
    bool HostAllowed(const std::string& hostHeader) const
    {
        const std::string port = ":" + std::to_string(this->port);
        const std::string& bound = options.host;
        const bool loopback = bound == "127.0.0.1" || bound == "localhost" || bound == "::1";
        if (!loopback && (bound == "0.0.0.0" || bound == "::"))
            return true;
        const std::string bracketed = bound.find(':') != std::string::npos ? "[" + bound + "]" : bound;
        if (hostHeader == bracketed + port)
            return true;
        if (!loopback)
            return false;
        return hostHeader == "localhost" + port || hostHeader == "127.0.0.1" + port || hostHeader == "[::1]" + port;
    }

    using Req = httplib::Request;
    using Res = httplib::Response;
    using Session = std::shared_ptr<ServeSession>;

    void Routes();
    void Handlers();

    // Routes without a session. The page makes its session when its script
    // runs (POST /api/session), so that fetching it (a link preview, a
    // crawler, a script) does not take one of the few.
    void Page(const Req&, Res& res)
    {
        const WebAsset* page = FindWebAsset("index.html");
        res.set_header("Cache-Control", "no-store");
        res.set_content(reinterpret_cast<const char*>(page->data), page->size, WebContentType(page->path));
    }

    void Asset(const Req& req, Res& res)
    {
        const WebAsset* asset = FindWebAsset(req.matches[1].str());
        if (asset == nullptr) {
            SendError(res, 404, "no such file");
            return;
        }
        res.set_header("Cache-Control", "no-cache");
        res.set_content(reinterpret_cast<const char*>(asset->data), asset->size, WebContentType(asset->path));
    }

    void CreateSession(const Req&, Res& res)
    {
        std::string error;
        std::chrono::seconds retryAfter{0};
        auto session = NewSession(error, &retryAfter);
        if (!session) {
            if (retryAfter.count() > 0)
                res.set_header("Retry-After", std::to_string(retryAfter.count()));
            SendError(res, 503, error);
            return;
        }
        SetCookie(res, *session);
        SendJson(res, StateToJson(session->State()));
    }

    void Schema(const Req&, Res& res) { SendJson(res, FieldCatalogueToJson()); }

    // Routes of a session: called with the request's session only.
    void GetState(const Session& session, const Req&, Res& res) { SendJson(res, StateToJson(session->State())); }

    void PutCorrection(const Session& session, const Req& req, Res& res)
    {
        const auto commit = IntParam(req, res, "commit", 0, 1, 1);
        if (!commit)
            return;
        tagCOLORCORRINFO cc;
        std::string error;
        if (!ParseCorrectionJson(req.body.data(), req.body.size(), cc, error)) {
            SendError(res, 400, error);
            return;
        }
        if (!session->SetCorrection(cc, *commit != 0, error)) {
            SendError(res, 422, error);
            return;
        }
        SendJson(res, StateToJson(session->State()));
    }

    // Undo and redo differ only in the step taken and the refusal's words.
    void HistoryStep(const Session& session, Res& res, bool (ServeSession::*step)(), const char* refusal)
    {
        if (!((*session).*step)()) {
            SendError(res, 409, refusal);
            return;
        }
        SendJson(res, StateToJson(session->State()));
    }
    void Undo(const Session& s, const Req&, Res& res) { HistoryStep(s, res, &ServeSession::Undo, "nothing to undo"); }
    void Redo(const Session& s, const Req&, Res& res) { HistoryStep(s, res, &ServeSession::Redo, "nothing to redo"); }

    void GetSets(const Session& session, const Req&, Res& res)
    {
        json sets = json::array();
        session->WithViewer([&sets](ServeViewer& viewer, const tagCOLORCORRINFO&) {
            const unsigned n = viewer.QueryNSet();
            for (unsigned i = 0; i < n; ++i) {
                tagCOLORCORRINFO cc;
                viewer.GetSet(i, cc);
                sets.push_back({{"index", i}, {"summary", DescribeCorrection(cc)}});
            }
        });
        SendJson(res, json{{"sets", sets}});
    }

    void DefineSet(const Session& session, const Req&, Res& res)
    {
        const unsigned slot = session->DefineSet();
        json state = StateToJson(session->State());
        state["slot"] = slot;
        SendJson(res, state);
    }

    void ClearSets(const Session& session, const Req&, Res& res)
    {
        session->ClearSets();
        SendJson(res, StateToJson(session->State()));
    }

    void RecallOrDeleteSet(const Session& session, const Req& req, Res& res)
    {
        const auto n = IntParam(req, res, "n", 0, VIEWER_SET_COUNT - 1, std::nullopt);
        if (!n)
            return;
        const bool recall = req.matches[1].str() == "recall";
        const bool ok = recall ? session->RecallSet(unsigned(*n)) : session->DeleteSet(unsigned(*n));
        if (!ok) {
            SendError(res, 404, "set " + std::to_string(*n) + " is not in use");
            return;
        }
        SendJson(res, StateToJson(session->State()));
    }

    void PutPicture(const Session& session, const Req& req, Res& res)
    {
        const bool reference = req.matches[1].str() == "reference";
        const std::string name = CleanName(req.has_param("name") ? req.get_param_value("name") : "upload");
        const auto* data = reinterpret_cast<const uint8_t*>(req.body.data());
        if (req.body.empty() || !SniffImageFormat(data, req.body.size())) {
            SendError(res, 415, name + ": not a PNG, JPEG or BMP picture");
            return;
        }
        RgbImage image;
        std::string error;
        bool tooLarge = false;
        if (!DecodeImage(data, req.body.size(), image, error, kMaxServePixels, &tooLarge)) {
            SendError(res, tooLarge ? 413 : 400, name + ": " + error);
            return;
        }
        const bool ok = reference ? session->SetReference(image, name, error) : session->SetSource(image, name, error);
        if (!ok) {
            SendError(res, 422, name + ": " + error);
            return;
        }
        SendJson(res, StateToJson(session->State()));
    }

    void Split(const Session& session, const Req& req, Res& res)
    {
        const auto body = JsonBody(req, res);
        if (!body)
            return;
        int x = 0, y = 0;
        std::string error;
        if (!ParseSplitBody(*body, x, y, error)) {
            SendError(res, 400, error);
            return;
        }
        session->SetSplit(x, y);
        SendJson(res, StateToJson(session->State()));
    }

    void Options(const Session& session, const Req& req, Res& res)
    {
        const auto body = JsonBody(req, res);
        if (!body)
            return;
        ViewOptions options = session->State().options;
        std::string error;
        if (!ParseOptionsBody(*body, options, error)) {
            SendError(res, 400, error);
            return;
        }
        session->SetOptions(options);
        SendJson(res, StateToJson(session->State()));
    }

    void Events(const Session& session, const Req& req, Res& res)
    {
        res.set_header("Cache-Control", "no-store");
        res.set_header("X-Accel-Buffering", "no");
        uint64_t last = 0;
        if (req.has_param("after")) {
            const auto after = IntParam(req, res, "after", 0, INT64_MAX, 0);
            if (!after)
                return;
            last = uint64_t(*after);
        }
        if (!session->AddStream(kMaxStreamsPerSession)) {
            SendError(res, 429, "this page has " + std::to_string(kMaxStreamsPerSession) +
                                    " event streams open already: close some of its tabs");
            return;
        }
        if (++openStreams > MaxStreams()) {
            --openStreams;
            session->RemoveStream();
            res.set_header("Retry-After", "30");
            SendError(res, 503, "the server has its most event streams open (" + std::to_string(MaxStreams()) +
                                    "): try again later");
            return;
        }
        // Counted while the connection lasts: the provider (and this) goes
        // when the stream ends, however it ends.
        struct Hold {
            std::shared_ptr<ServeSession> session;
            std::atomic<size_t>& open;
            ~Hold()
            {
                session->RemoveStream();
                --open;
            }
        };
        const std::shared_ptr<Hold> hold(new Hold{session, openStreams});
        res.set_chunked_content_provider(
            "text/event-stream", [this, session, last, hold](size_t, httplib::DataSink& sink) mutable {
                (void)hold;
                const EncodedPreview p = session->Previews().WaitForNewer(last, kEventKeepAlive);
                if (stopping || session->Previews().Closed()) {
                    const std::string bye = "event: closed\ndata: {}\n\n";
                    sink.write(bye.data(), bye.size());
                    sink.done();
                    return true;
                }
                std::string message;
                if (p.sequence > last) {
                    last = p.sequence;
                    message = "event: preview\ndata: " +
                              json{{"seq", p.sequence}, {"width", p.width}, {"height", p.height}}.dump() + "\n\n";
                } else {
                    message = ": waiting\n\n";
                }
                session->Touch();
                return sink.write(message.data(), message.size());
            });
    }

    void Preview(const Session& session, const Req& req, Res& res)
    {
        const auto width = IntParam(req, res, "w", 1, 65535, 0);
        const auto height = width ? IntParam(req, res, "h", 1, 65535, 0) : std::nullopt;
        if (!width || !height)
            return;
        const EncodedPreview p = session->Previews().Encoded(int(*width), int(*height));
        if (!p.jpeg) {
            SendError(res, 404, "no preview has been rendered yet");
            return;
        }
        res.set_header("X-Preview-Sequence", std::to_string(p.sequence));
        SendBytes(res, *p.jpeg, "image/jpeg");
    }

    void Scope(const Session& session, const Req& req, Res& res)
    {
        const auto type = IntParam(req, res, "type", 1, 7, std::nullopt);
        if (!type)
            return;
        if (*type == 3) {
            SendError(res, 400, "type must be 1 (vector), 2 (waveform), 4 (histogram), 5 (lightning), "
                                "6 (cube) or 7 (vector and lightning)");
            return;
        }
        RgbImage scope;
        std::vector<uint8_t> png;
        std::string error;
        if (!session->Scope(unsigned(*type), scope) || !EncodePngImage(scope, png, error)) {
            SendError(res, 500, "the display could not be made");
            return;
        }
        SendBytes(res, png, "image/png");
    }

    void Picture(const Session& session, const Req& req, Res& res)
    {
        RgbImage image;
        const bool ok = req.matches[1].str() == "source" ? session->SourceImage(image) : session->ReferenceImage(image);
        std::vector<uint8_t> png;
        std::string error;
        if (!ok || !EncodePngImage(image, png, error)) {
            SendError(res, 404, "there is no such picture");
            return;
        }
        SendBytes(res, png, "image/png");
    }

    void DownloadCorrection(const Session& session, const Req& req, Res& res)
    {
        const std::string form = req.has_param("form") ? req.get_param_value("form") : "json";
        if (form != "json" && form != "binary") {
            SendError(res, 400, "form must be json or binary");
            return;
        }
        const tagCOLORCORRINFO cc = session->State().correction;
        const std::string problem = CheckCorrection(cc);
        if (!problem.empty()) {
            SendError(res, 409, "the correction cannot be written to a file: " + problem);
            return;
        }
        if (form == "json") {
            const std::string text = CorrectionToJson(cc);
            SendBytes(res, std::vector<uint8_t>(text.begin(), text.end()), "application/json", "correction.json");
        } else {
            const auto bytes = CorrectionToBinary(cc);
            SendBytes(res, std::vector<uint8_t>(bytes.begin(), bytes.end()), "application/octet-stream",
                      "correction.ccr");
        }
    }

    void DownloadLut(const Session& session, const Req& req, Res& res)
    {
        const auto size = IntParam(req, res, "size", kMinCubeSize, kMaxCubeSize, 33);
        if (!size)
            return;
        if (*size > kMaxServeCubeSize) {
            SendError(res, 400,
                      "size " + std::to_string(*size) + " is larger than programs that read .cube files take: use 2.." +
                          std::to_string(kMaxServeCubeSize) + " (33 is usual)");
            return;
        }
        const tagCOLORCORRINFO cc = session->State().correction;
        CorrectionProcessor processor;
        auto lut = std::make_shared<CubeLut>();
        lut->title = "colorcorrect";
        std::string error;
        if (!processor.Setup(cc, error) || !SampleCube(int(*size), processor.Processor(), *lut, error)) {
            SendError(res, 500, error);
            return;
        }
        // The text is some 27 times the table: it goes out a slice at a time.
        res.set_header("Cache-Control", "no-store");
        res.set_header("Content-Disposition", "attachment; filename=\"correction.cube\"");
        res.set_chunked_content_provider(
            "text/plain; charset=utf-8", [lut, next = size_t{0}, head = true](size_t, httplib::DataSink& sink) mutable {
                constexpr size_t kEntriesPerSlice = 8192;
                std::string text = head ? FormatCubeHead(*lut) : std::string();
                head = false;
                AppendCubeEntries(*lut, next, kEntriesPerSlice, text);
                next += kEntriesPerSlice;
                if (!text.empty() && !sink.write(text.data(), text.size()))
                    return false;
                if (next >= lut->rgb.size() / 3)
                    sink.done();
                return true;
            });
    }

    void DownloadPicture(const Session& session, const Req& req, Res& res)
    {
        const std::string format = req.has_param("format") ? req.get_param_value("format") : "png";
        if (format != "png" && format != "jpeg") {
            SendError(res, 400, "format must be png or jpeg");
            return;
        }
        RgbImage image;
        std::string error;
        std::vector<uint8_t> bytes;
        const ImageFormat f = format == "png" ? ImageFormat::Png : ImageFormat::Jpeg;
        if (!session->CorrectedImage(image, error) || !EncodeImage(image, f, EncodeOptions{}, bytes, error)) {
            SendError(res, 500, error);
            return;
        }
        SendBytes(res, bytes, f == ImageFormat::Png ? "image/png" : "image/jpeg",
                  f == ImageFormat::Png ? "corrected.png" : "corrected.jpg");
    }

    void Gesture(const Session& session, const Req& req, Res& res) { HandleGesture(*session, req, res); }
    void Analysis(const Session& session, const Req& req, Res& res) { HandleAnalysis(*session, req, res); }
};

namespace {

enum class Verb { Get, Post, Put };

void AddRoute(httplib::Server& http, Verb verb, const char* pattern, httplib::Server::Handler handler)
{
    switch (verb) {
    case Verb::Get: http.Get(pattern, std::move(handler)); break;
    case Verb::Post: http.Post(pattern, std::move(handler)); break;
    case Verb::Put: http.Put(pattern, std::move(handler)); break;
    }
}

} // namespace

// What the server answers, in the order the head of this file lists it.
void ServeServer::Impl::Handlers()
{
    static const struct {
        Verb verb;
        const char* pattern;
        void (Impl::*handler)(const Req&, Res&);
    } kOpenRoutes[] = {
        {Verb::Get, "/", &Impl::Page},
        {Verb::Get, R"(/([A-Za-z0-9_-]+\.(?:js|css|svg|png)))", &Impl::Asset},
        {Verb::Post, "/api/session", &Impl::CreateSession},
        {Verb::Get, "/api/schema", &Impl::Schema},
    };
    // Each of these answers 401 when the request carries no known session.
    static const struct {
        Verb verb;
        const char* pattern;
        void (Impl::*handler)(const Session&, const Req&, Res&);
    } kSessionRoutes[] = {
        {Verb::Get, "/api/state", &Impl::GetState},
        {Verb::Put, "/api/correction", &Impl::PutCorrection},
        {Verb::Post, "/api/undo", &Impl::Undo},
        {Verb::Post, "/api/redo", &Impl::Redo},
        {Verb::Get, "/api/sets", &Impl::GetSets},
        {Verb::Post, "/api/sets/define", &Impl::DefineSet},
        {Verb::Post, "/api/sets/clear", &Impl::ClearSets},
        {Verb::Post, R"(/api/sets/(recall|delete))", &Impl::RecallOrDeleteSet},
        {Verb::Put, R"(/api/(source|reference))", &Impl::PutPicture},
        {Verb::Post, "/api/split", &Impl::Split},
        {Verb::Post, "/api/options", &Impl::Options},
        {Verb::Get, "/api/events", &Impl::Events},
        {Verb::Get, "/api/preview.jpg", &Impl::Preview},
        {Verb::Get, "/api/scope.png", &Impl::Scope},
        {Verb::Get, R"(/api/picture/(source|reference)\.png)", &Impl::Picture},
        {Verb::Get, "/api/download/correction", &Impl::DownloadCorrection},
        {Verb::Get, "/api/download/lut", &Impl::DownloadLut},
        {Verb::Get, "/api/download/picture", &Impl::DownloadPicture},
        {Verb::Post, "/api/gesture", &Impl::Gesture},
        {Verb::Post, "/api/analysis", &Impl::Analysis},
    };
    for (const auto& route : kOpenRoutes)
        AddRoute(http, route.verb, route.pattern,
                 [this, h = route.handler](const Req& req, Res& res) { (this->*h)(req, res); });
    for (const auto& route : kSessionRoutes)
        AddRoute(http, route.verb, route.pattern, [this, h = route.handler](const Req& req, Res& res) {
            if (auto session = SessionOf(req, res)) {
                const auto before = BeforeRequest(req, *session);
                (this->*h)(session, req, res);
                Publish(*session, before);
            }
        });
}


void ServeServer::Impl::Routes()
{
    http.set_payload_max_length(options.maxUploadBytes);
    // Answers go out as written. The server writes a response's head and body
    // (and each event of a stream) separately; with Nagle's rule the second
    // write waits for the browser to acknowledge the first, which on a kept
    // connection it delays: some 20 ms on every answer and preview.
    http.set_tcp_nodelay(true);
    const size_t threads = MaxStreams() + kRequestThreads;
    http.new_task_queue = [threads] { return new httplib::ThreadPool(threads); };
    http.set_exception_handler([](const httplib::Request&, httplib::Response& res, std::exception_ptr ep) {
        std::string what = "internal error";
        try {
            std::rethrow_exception(ep);
        } catch (const std::bad_alloc&) {
            what = "not enough memory for this request";
        } catch (const std::exception& e) {
            what = std::string("internal error: ") + e.what();
        } catch (...) {
        }
        SendError(res, 500, what);
    });
    http.set_error_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (!res.body.empty())
            return;
        // The client library holds form posts to 8 KB whatever --max-upload says.
        const bool form = req.get_header_value("Content-Type").rfind("application/x-www-form-urlencoded", 0) == 0;
        if (res.status == 413 && form && req.get_header_value<uint64_t>("Content-Length") <= options.maxUploadBytes)
            SendError(res, 413, "a body sent as a form (application/x-www-form-urlencoded) is limited to 8 KB: "
                                "send JSON as application/json, a picture as image/png, image/jpeg or image/bmp");
        else if (res.status == 413)
            SendError(res, 413, "the request is larger than the server accepts (at most " +
                                    std::to_string(options.maxUploadBytes) + " bytes, see --max-upload)");
        else if (res.status == 404)
            SendError(res, 404, "no such page or request");
        else
            SendError(res, res.status, "bad request");
    });

    // Pages of other sites can make a browser send requests here; with a
    // name they resolve to this machine (DNS rebinding) they would even read
    // the answers. Requests must therefore name this server as they reach it.
    http.set_pre_routing_handler([this](const httplib::Request& req, httplib::Response& res) {
        if (!HostAllowed(req.get_header_value("Host"))) {
            SendError(res, 421, "this server answers only requests for its own address (Host header)");
            return httplib::Server::HandlerResponse::Handled;
        }
        // Without a length the body would be read until the client closes or
        // the read times out; a chunked one could grow without bound.
        if ((req.method == "POST" || req.method == "PUT") &&
            (!req.has_header("Content-Length") || req.has_header("Transfer-Encoding"))) {
            SendError(res, 411, "the request must give its body's length in a Content-Length header (0 for no body); "
                                "bodies in chunks are not taken");
            res.set_header("Connection", "close"); // whatever body follows is not read
            return httplib::Server::HandlerResponse::Handled;
        }
        return httplib::Server::HandlerResponse::Unhandled;
    });

    Handlers();
}

ServeServer::ServeServer(const ServeOptions& options) : m_impl(std::make_unique<Impl>(options))
{
    m_impl->Routes();
}

ServeServer::~ServeServer()
{
    Stop();
}

void ServeServer::SetStartPictures(RgbImage source, std::string sourceName, RgbImage reference,
                                   std::string referenceName)
{
    m_impl->startSource = std::move(source);
    m_impl->startSourceName = std::move(sourceName);
    m_impl->startReference = std::move(reference);
    m_impl->startReferenceName = std::move(referenceName);
}

bool ServeServer::Bind(std::string& error)
{
    const ServeOptions& o = m_impl->options;
    if (o.port == 0) {
        m_impl->port = m_impl->http.bind_to_any_port(o.host);
        if (m_impl->port <= 0) {
            error = "cannot listen on " + o.host;
            return false;
        }
    } else {
        if (!m_impl->http.bind_to_port(o.host, o.port)) {
            error = "cannot listen on " + o.host + " port " + std::to_string(o.port) +
                    " (is it in use? --port 0 takes a free one)";
            return false;
        }
        m_impl->port = o.port;
    }
    return true;
}

int ServeServer::Port() const
{
    return m_impl->port;
}

bool ServeServer::Run()
{
    {
        std::lock_guard<std::mutex> lock(m_impl->runMutex);
        if (m_impl->stopping)
            return true;
        m_impl->running = true;
    }
    const bool ok = m_impl->http.listen_after_bind();
    m_impl->running = false;
    return ok;
}

void ServeServer::Stop()
{
    bool running = false;
    {
        std::lock_guard<std::mutex> lock(m_impl->runMutex);
        m_impl->stopping = true;
        running = m_impl->running;
    }
    m_impl->sessions.CloseAll();
    // The listener ignores a stop that comes before it is up: a Run that has
    // begun is waited for until it listens (or has given up), so that it
    // cannot miss this stop and serve for ever. A Run yet to begin sees
    // `stopping` and returns at once.
    while (running && !m_impl->http.is_running() && m_impl->running)
        std::this_thread::yield();
    m_impl->http.stop();
}

SessionRegistry& ServeServer::Sessions()
{
    return m_impl->sessions;
}

} // namespace colorcorrect::cli
