#pragma once
#include <QString>

// A media name read from a card may be looked up in the bank's media folder: a bare file
// name. A name with a folder separator ("/" or "\"), "..", or a control character could
// lead out of the folder or to a name no one typed; it counts as a missing file.
bool nomMediaAdmis(const QString &nom);
