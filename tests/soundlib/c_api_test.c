/* Uses libqvxsnd through its C exports alone, as a C program. */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>
#include <unistd.h>

#include "soundlib/include/qvxsnd.h"

int main(void) {
    static const uint8_t idle[] = {0x31, 0xFF, 0xFF, 0xED, 0x56, 0xFB, 0x18, 0xFE};
    uint8_t voice[25];
    const char* status;

    setenv("SDL_AUDIODRIVER", "dummy", 1);
    if (soundStatus() == NULL) return 1;
    memset(voice, 0x1F, sizeof voice);

    setFmModel(QVXSND_FM_ACCURATE);
    initSound(NULL, 44100);
    loadInstrument(voice);
    KeyDown(9, 4);
    usleep(30000);
    KeyUp();
    sendData(idle, sizeof idle);
    sendCommand(0x81);
    usleep(150000);
    /* Bad arguments are ignored, never fatal. */
    sendData(NULL, 100);
    sendRoms(NULL, 10, idle, sizeof idle);
    sendRoms(idle, sizeof idle, NULL, 0);
    if (playPosition() < -1) return 1;
    loadInstrument(NULL);
    setFmModel(7);
    setFmModel(QVXSND_FM_DOCUMENTED);
    KeyDown(40, 2);
    playSample(idle, sizeof idle, 2, 31);
    playSample(NULL, 10, 0, 31);
    playSample(idle, sizeof idle, 6, 31);
    playSample(idle, sizeof idle, 0, 32);
    stopSound();
    initSound(NULL, 44100);

    status = soundStatus();
    if (status == NULL || strlen(status) == 0) return 1;
    printf("%s\n", status);
    return 0;
}
