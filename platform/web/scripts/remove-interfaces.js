// WebRTC opens connections of its own (STUN over UDP, TURN over TCP and TLS, host name
// lookups) that no request filter sees; the file-system pickers open native dialogs. Removed
// from each frame's window before anything else runs in it.
(() => {
    for (const name of Object.getOwnPropertyNames(window))
        if (/^(webkit)?RTC/.test(name) || /^show[A-Za-z]*Picker$/.test(name))
            delete window[name];
})();
