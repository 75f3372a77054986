#include "platform/print/PrintScripts.h"

#include "platform/runtime/ResourceText.h"

// The scripts live in the library that holds this file; a static library's resources are
// there only once asked for by name, which cannot be done from inside a namespace.
static void registerPrintScripts()
{
    Q_INIT_RESOURCE(print_scripts);
}

namespace platform {

QString printScript(const QString& fileName)
{
    static const bool registered = (registerPrintScripts(), true);
    Q_UNUSED(registered);
    return resourceText(QStringLiteral(":/print/") + fileName);
}

}  // namespace platform
