#include "Error.h"

#include "ErrorText.h"

#include <utility>

namespace abm {

bool namesFile(ErrorKind kind)
{
    switch (kind) {
    case ErrorKind::NotAnInteger:
    case ErrorKind::SettingsWrite:
    case ErrorKind::AssociationCreate:
    case ErrorKind::AssociationSetData:
    case ErrorKind::Png: return false;
    default: return true;
    }
}

Error::Error(ErrorKind kind, std::string name, int64_t number, int64_t limit)
    : kind_(kind), name_(std::move(name)), number_(number), limit_(limit)
{
    text_ = errorText(*this, programText);
}

void throwNamingFile(const Error& error, const std::string& fileName)
{
    if (!error.name().empty() || !namesFile(error.kind()))
        throw;
    if (const auto* memory = dynamic_cast<const MemoryLimitExceeded*>(&error))
        throw memory->forFile(fileName);
    if (dynamic_cast<const InvalidGraphicError*>(&error))
        throw InvalidGraphicError(error.kind(), fileName, error.number(), error.limit());
    if (dynamic_cast<const FileError*>(&error))
        throw FileError(error.kind(), fileName, error.number(), error.limit());
    throw Error(error.kind(), fileName, error.number(), error.limit());
}

}  // namespace abm
