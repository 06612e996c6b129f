// colorcorrect serve: the browser workstation on a local HTTP server.

#include <pthread.h>
#include <signal.h>
#if defined(__GLIBC__)
#include <malloc.h>
#endif

#include <cstdio>
#include <new>
#include <thread>

#include <colorcorrect/formats/file_io.h>
#include <colorcorrect/formats/image_io.h>

#include "command_support.h"
#include "commands.h"
#include "serve_server.h"

namespace colorcorrect::cli {

using namespace colorcorrect::formats;

namespace {

constexpr const char* kCommand = "serve";
constexpr size_t kMaxPictureFileBytes = size_t(kMaxImageBytes) + (size_t{1} << 20);

bool LoadPicture(const std::string& path, RgbImage& image)
{
    std::vector<uint8_t> bytes;
    std::string error;
    if (!ReadWholeFile(path, kMaxPictureFileBytes, bytes, error) ||
        !DecodeImage(bytes.data(), bytes.size(), image, error, kMaxServePixels)) {
        Fail(kCommand, path, error);
        return false;
    }
    return true;
}

std::string BaseName(const std::string& path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Pictures of several megabytes are made and dropped all the time, on many
// threads. glibc raises its mmap threshold to the size of each such block
// freed, after which the blocks come from the threads' heaps, which keep the
// memory: under a few busy sessions the server then holds more than twice
// what it uses. A fixed threshold gives each picture's memory back when the
// picture goes.
void KeepLargeBlocksReturnable()
{
#if defined(__GLIBC__)
    mallopt(M_MMAP_THRESHOLD, 1 << 20);
#endif
}

} // namespace

int RunServe(const ServeOptions& o)
{
    try {
        KeepLargeBlocksReturnable();
        RgbImage source, reference;
        if (!o.source.empty() && !LoadPicture(o.source, source))
            return 1;
        if (!o.reference.empty() && !LoadPicture(o.reference, reference))
            return 1;

        // Ctrl-C and termination are taken by a thread of our own, which
        // stops the server in an orderly way (sessions, workers, sockets);
        // the other threads never see the signals.
        sigset_t signals;
        sigemptyset(&signals);
        sigaddset(&signals, SIGINT);
        sigaddset(&signals, SIGTERM);
        pthread_sigmask(SIG_BLOCK, &signals, nullptr);

        ServeServer server(o);
        server.SetStartPictures(std::move(source), o.source.empty() ? "" : BaseName(o.source),
                                std::move(reference), o.reference.empty() ? "" : BaseName(o.reference));
        std::string error;
        if (!server.Bind(error))
            return Fail(kCommand, error);
        // A probe session shows at once whether the pictures can be served.
        {
            SessionRegistry probe(1, std::chrono::seconds(60));
            if (!probe.Create(error))
                return Fail(kCommand, error);
        }

        const std::string host = o.host.find(':') != std::string::npos ? "[" + o.host + "]" : o.host;
        std::printf("colorcorrect serve: open http://%s:%d/ in a browser (Ctrl-C stops the server)\n",
                    host.c_str(), server.Port());
        std::fflush(stdout);

        std::thread waiter([&server, signals] {
            int received = 0;
            sigwait(&signals, &received);
            server.Stop();
        });
        const bool ok = server.Run();
        server.Stop();
        // Wake the waiter if the server ended by itself.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
        if (!ok)
            return Fail(kCommand, "the server stopped listening");
        return 0;
    } catch (const std::bad_alloc&) {
        return Fail(kCommand, "not enough memory");
    }
}

} // namespace colorcorrect::cli
