#pragma once

#include <QByteArrayView>
#include <QString>

namespace clipwren {

// Where received files are kept: ClipwrenPlus/Received under the user's data folder, each
// file in a folder of its own named by a new UUID, so two files of one name never meet.
class ReceivedFiles {
public:
    struct Stored {
        QString path;   // the stored file, when error is empty
        QString error;  // why it could not be stored
    };

    // The received-files folder under the user's data location (looked up at every call).
    static QString folder();

    // Stores contents under the last component of name; a name that leaves nothing usable
    // ("", ".", "..", only slashes) is stored as "file". Written atomically.
    static Stored store(const QString& name, QByteArrayView contents);

    static QString storedName(const QString& name);
};

}  // namespace clipwren
