// zip_adapter: the debug package's zip operations (placeholders until the
// implementation over the zip library lands).
#include "common/zip_adapter.h"

mz_bool mz_zip_reader_init_file(mz_zip_archive *, const char *, mz_uint32) {
    return MZ_FALSE;
}
mz_bool mz_zip_writer_init_from_reader(mz_zip_archive *, const char *) {
    return MZ_FALSE;
}
mz_bool mz_zip_writer_init_file(mz_zip_archive *, const char *, mz_uint64) {
    return MZ_FALSE;
}
mz_bool mz_zip_writer_add_file(mz_zip_archive *, const char *, const char *, const void *,
                               mz_uint16, mz_uint) {
    return MZ_FALSE;
}
mz_bool mz_zip_writer_finalize_archive(mz_zip_archive *) {
    return MZ_FALSE;
}
mz_bool mz_zip_writer_end(mz_zip_archive *) {
    return MZ_FALSE;
}
