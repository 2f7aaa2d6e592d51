// osdep: pipes over a child's output. The child writes both of its standard
// streams into one temporary file, which the caller then reads.
#include "common/osdep.h"

#include "common/hash.h"
#include "common/vector.h"
#include "common/vq4assert.h"
#include "platform/platform.h"

#include <cerrno>
#include <cstdarg>
#include <cstdlib>

namespace {

constexpr uint32_t kPipeTableBuckets = 5;

// Open read stream -> its child's exit status, from os_popen_vec to
// os_pclose.
hash *pipe_status_tab = nullptr;

// Descriptors 1 and 2 pointed at a capture file for the lifetime of the
// object, then restored from the duplicates saved beforehand.
class StandardStreamsCapture {
  public:
    // Saves descriptors 1 and 2; ok() is false when either copy fails.
    StandardStreamsCapture() : saved_out_(plat_dup(1)), saved_err_(plat_dup(2)) {}
    ~StandardStreamsCapture() {
        restore(saved_out_, 1, stdout);
        restore(saved_err_, 2, stderr);
    }
    StandardStreamsCapture(const StandardStreamsCapture &) = delete;
    StandardStreamsCapture &operator=(const StandardStreamsCapture &) = delete;

    bool ok() const { return saved_out_ != -1 && saved_err_ != -1; }

    // Points descriptors 1 and 2 at the file; false when either fails.
    bool redirect_to(FILE *file) {
        int fd = plat_fileno(file);
        std::fflush(stdout);
        bool out = plat_dup2(fd, 1) == 0;
        std::fflush(stderr);
        bool err = plat_dup2(fd, 2) == 0;
        return out && err;
    }

  private:
    static void restore(int saved, int fd, FILE *stream) {
        if (saved == -1)
            return;
        std::fflush(stream);
        plat_dup2(saved, fd);
        plat_close(saved);
    }

    int saved_out_;
    int saved_err_;
};

// Runs the vector's program (item 0) with the vector's items as argument
// vector; the status, or -1 when it could not be started.
int32_t spawn_vector(vec *v) {
    const char **argv = vec_argv(v);
    errno = 0;
    return os_spawn(argv[0], argv);
}

// Runs the vector's program with both standard streams going into a fresh
// temporary file and stores that file's path in *capture_path (the caller
// frees it). The child's status, or -1 when nothing could be run.
int32_t run_captured(vec *v, char **capture_path) {
    StandardStreamsCapture capture;
    if (!capture.ok())
        return -1;
    *capture_path = os_tmpfile_name_plain();
    FILE *sink = *capture_path != nullptr ? plat_fopen(*capture_path, "w") : nullptr;
    if (sink == nullptr)
        return -1;
    int32_t status = capture.redirect_to(sink) ? spawn_vector(v) : -1;
    std::fclose(sink);
    return status;
}

bool names_existing_file(const char *path) {
    return path != nullptr && os_file_exists(path);
}

// Records the status of the child whose output fp reads.
void record_status(FILE *fp, int32_t status) {
    if (pipe_status_tab == nullptr)
        pipe_status_tab = hash_create(kPipeTableBuckets, nullptr, nullptr, __FILE__, __LINE__);
    VQ4_ASSERT(!hash_haskey(pipe_status_tab, fp), "!hash_haskey(pipe_status_tab, fp)");
    hash_insert(pipe_status_tab, fp, reinterpret_cast<void *>(intptr_t{status}), __FILE__,
                __LINE__);
}

} // namespace

FILE *os_popen_vec(struct vec *v) {
    FILE *result = nullptr;
    if (vec_size(v) > 0 && names_existing_file(static_cast<char *>(vec_get(v, 0)))) {
        char *capture_path = nullptr;
        int32_t status = run_captured(v, &capture_path);
        if (status != -1)
            result = plat_fopen(capture_path, "r");
        if (result != nullptr)
            record_status(result, status);
        std::free(capture_path);
    }
    vec_destroy(v);
    return result;
}

FILE *os_popen(const char *program, ...) {
    vec *v = vec_create(__FILE__, __LINE__);
    vec_append(v, const_cast<char *>(program));
    va_list args;
    va_start(args, program);
    for (const char *arg; program != nullptr && (arg = va_arg(args, const char *)) != nullptr;)
        vec_append(v, const_cast<char *>(arg));
    va_end(args);
    vec_append(v, nullptr);
    return os_popen_vec(v);
}

int32_t os_pclose(FILE *fp) {
    if (fp == nullptr || pipe_status_tab == nullptr || !hash_haskey(pipe_status_tab, fp))
        return -1;
    auto status =
        static_cast<int32_t>(reinterpret_cast<intptr_t>(hash_remove(pipe_status_tab, fp)));
    std::fclose(fp);
    return status;
}
