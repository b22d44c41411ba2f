#include "timezone.h"

#include <QByteArray>
#include <QtGlobal>

void pinLocalTimeZone()
{
    if (qEnvironmentVariableIsEmpty("TZ"))
        qputenv("TZ", ":/etc/localtime");
}
