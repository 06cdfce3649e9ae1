#include "common/Modules.h"

#include <gtest/gtest.h>

using namespace zorv;

// A module is used only when it has every entry point asked for: one of
// another version, or a name that is no module, gives nothing rather than half.
TEST(Modules, ResolveEveryEntryPointOrNothing)
{
    const struct {
        const char *name;
        QStringList symbols;
        bool found;
    } cases[] = {
        {"libzorv-heif", {"zorv_heic_encode", "zorv_heic_decode"}, true},
        {"libzorv-pulse", {"zorv_pulse_list_microphones"}, true},
        {"libzorv-upload", {"zorv_upload_transport"}, true},
        {"libzorv-ocr", {"zorv_ocr_recognize"}, true},
        {"libzorv-heif", {"zorv_heic_encode", "zorv_pulse_list_microphones"}, false},
        {"libzorv-pulse", {"zorv_heic_decode"}, false},
        {"libzorv-none", {"zorv_heic_encode"}, false},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::string(c.name) + " " + c.symbols.join(u' ').toStdString());
        const QList<QFunctionPointer> found =
            loadModule(QString::fromLatin1(c.name), c.symbols, QStringLiteral("test"));
        if (!c.found) {
            EXPECT_TRUE(found.isEmpty());
            continue;
        }
        ASSERT_EQ(found.size(), c.symbols.size());
        for (const QFunctionPointer address : found)
            EXPECT_NE(address, nullptr);
        if (found.size() > 1) {
            EXPECT_NE(found.first(), found.last()) << "each symbol resolved on its own";
        }
    }
}
