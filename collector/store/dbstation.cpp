#include "dbstation.h"

void registerDBStation()
{
    qRegisterMetaType<DBStation>("DBStation");
}
