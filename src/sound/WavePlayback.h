#pragma once

#include <QString>
#include <QVariant>

namespace VELModule {

// Plays a wave file, by default without waiting. Wait returns when the sound has ended; Loop
// repeats it until stopped or replaced; NoStop leaves a playing sound alone; without NoDefault
// a file that cannot be played sounds the desktop's alert instead. A playing sound is
// replaced. With no sound output at all, the user is told once the caller has returned, and
// nothing plays. ResourceId and ResourceType name a wave built into the program; there are
// none, so they play nothing.
void PlayWave(const QVariant& ResourceId, const QString& ResourceType, const QString& FileName, bool Wait,
              bool Loop, bool NoStop, bool NoDefault);
// Ends the playing sound at once.
void StopWave();

// The text shown when there is no sound output.
inline const QString NoSoundDeviceText = QStringLiteral("Unable to init SOUND-DECVICE");

} // namespace VELModule
