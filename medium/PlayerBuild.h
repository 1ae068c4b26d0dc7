#pragma once
// The two players, built from one source: Tavisco plays Windows Media recordings (media.wma,
// else media.wmv) through its engine control MediaPlayer1, Norvanta RealMedia (media.rm) through
// RealAudio1. One name for the launcher that starts them, the layout that finds their
// recordings and the engine each one hosts.

enum class PlayerBuild { Tavisco, Norvanta };
