#pragma once

#include <QString>

// The encoder's command line of one conversion.
namespace ConversionCommand {

// `encoder` (written as it is: already quoted where needed), the cut's start, " -i " and the
// quoted input, the remaining `arguments`, then the quoted output. The cut's start is every
// "-ss <time>" pair among `arguments`: it is moved in front of the input, in its order, and the
// rest of `arguments` stays exactly as written.
QString Build(const QString& encoder, const QString& input, const QString& arguments,
              const QString& output);

} // namespace ConversionCommand
