#include "factoryframe.h"

namespace {
const int minimumFrameSize = 40;
const char stx = 0x02;
} // namespace

QByteArray factoryCommand()
{
    return QByteArray(1, stx) + QByteArrayLiteral("SET4826\r\r\r");
}

FrameCheck checkFrame(const QByteArray &buffer)
{
    if (buffer.size() < minimumFrameSize)
        return FrameCheck::NeedMore;
    if (buffer.at(3) != stx)
        return FrameCheck::Discard;
    if (!buffer.contains("\r\r\r"))
        return FrameCheck::NeedMore;
    if (!buffer.endsWith("\r\r\r"))
        return FrameCheck::NeedMore;
    return FrameCheck::Complete;
}

FactoryAnswer classifyAnswer(const QByteArray &frame)
{
    if (frame.contains("CRCHata"))
        return FactoryAnswer::CrcError;
    if (frame.contains("SYANLIS"))
        return FactoryAnswer::WrongPassword;
    if (frame.contains("YUKLENDI"))
        return FactoryAnswer::Loaded;
    return FactoryAnswer::None;
}
