#include "app/colour.h"
#include "app/conversions.h"
#include "app/settingsstore.h"
#include "fuzzsupport.h"
#include "scramble/encrypt.h"

#include <QByteArray>
#include <QDir>
#include <QFileInfo>
#include <QHashFunctions>
#include <QString>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

// Start-up's reads against any settings file: every key through the store and the conversion that
// start-up applies to it (the windows themselves are left out: they would dwarf the parsing). Then
// a save of what was read must read back the same and leave the file private.
namespace {

using Store::Key::all;

// Settings are cached by file size and time; every input gets a time of its own so it is read afresh.
void writeSettingsFile(const std::uint8_t *data, std::size_t size)
{
    static long long stamp = 1000000000;
    const QByteArray path = QFile::encodeName(Store::filePath());
    const int fd = ::open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    FUZZ_REQUIRE(fd >= 0, "cannot write %s", path.constData());
    for (std::size_t done = 0; done < size;) {
        const ssize_t n = ::write(fd, data + done, size - done);
        FUZZ_REQUIRE(n > 0, "short write");
        done += std::size_t(n);
    }
    const timespec times[2] = {{++stamp, 0}, {stamp, 0}};
    ::futimens(fd, times);
    ::close(fd);
}

void convertPosition(const QString& text)
{
    const auto value = app::textToSingle(text);
    if (!value)
        return;
    // Whole twips, as the window reports them, survive the stored form exactly.
    const float whole = std::round(*value);
    if (std::fabs(whole) <= 9999999.0f) {
        const QString written = app::singleToText(whole);
        const auto back = app::textToSingle(written);
        FUZZ_REQUIRE(back && *back == whole, "position %.1f written as %s", double(whole),
                     qPrintable(written));
    }
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    fuzzsupport::startApplication(false);
    QDir().mkpath(QFileInfo(Store::filePath()).absolutePath());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    writeSettingsFile(data, size);
    QString values[all.size()];
    for (std::size_t i = 0; i < all.size(); ++i)
        values[i] = Store::read(all[i]);
    const auto value = [&values](QLatin1String key) {
        return values[std::size_t(std::find(all.begin(), all.end(), key) - all.begin())];
    };

    for (QLatin1String key : {Store::Key::front, Store::Key::shindou, Store::Key::checkbeep,
                              Store::Key::notify, Store::Key::preview})
        (void)app::textToBool(value(key));
    (void)Encrypt::DecodePassword(value(Store::Key::pass));
    convertPosition(value(Store::Key::top));
    convertPosition(value(Store::Key::left));
    for (QLatin1String key : Store::Key::colour) {
        (void)app::colourFromText(value(key));
        (void)app::textToInteger(value(key));
    }

    // Whatever start-up found, saving it back loses nothing. A save costs more than all the reads, so
    // only every fourth input (by content) takes this path.
    if (qHashBits(data, size) % 4 != 0)
        return 0;
    for (std::size_t i = 0; i < all.size(); ++i)
        Store::write(all[i], values[i]);
    // commit() may report a failure here although it wrote: QSettings flags a malformed old file as a
    // format error after a successful write. What counts is what reads back.
    (void)Store::commit();
    struct stat st {};
    FUZZ_REQUIRE(::stat(QFile::encodeName(Store::filePath()).constData(), &st) == 0, "file gone");
    FUZZ_REQUIRE((st.st_mode & 0777) == 0600, "file mode %o", unsigned(st.st_mode & 0777));
    for (std::size_t i = 0; i < all.size(); ++i) {
        const QString back = Store::read(all[i]);
        FUZZ_REQUIRE(back == values[i], "%s saved as \"%s\" read back as \"%s\"", all[i].data(),
                     qPrintable(values[i]), qPrintable(back));
    }
    return 0;
}
