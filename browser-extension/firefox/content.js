'use strict';
// Tells the background what the page was doing when it asked for a new window: Firefox reports
// no user gesture with its tab events, so the page's own window.open is wrapped and every call
// noted before it runs. Links with target=_blank never call window.open; the last trusted click
// or key press covers those.
(() => {
    const page = window.wrappedJSObject;
    if (!page || typeof page.open !== 'function' || typeof exportFunction !== 'function')
        return;
    const pageOpen = page.open;
    let nextNote = 1;
    // Windows this document's opens made: an open naming one of them again loads into it.
    const madeHere = new WeakSet();

    const send = (note) => {
        // A background that is gone or restarting must never break the page's own open.
        browser.runtime.sendMessage(note).catch(() => {});
    };

    const absolute = (url) => {
        if (url === undefined || url === null || String(url) === '')
            return '';
        try {
            return new URL(String(url), document.baseURI).href;
        } catch (error) {
            return String(url);
        }
    };

    // window.open returns null for noopener opens too, so only a null without noopener means
    // that Firefox refused the window.
    const asksNoopener = (features) =>
        String(features ?? '')
            .split(',')
            .some((part) => /^\s*noopener\s*(=\s*(yes|1|true)\s*)?$/i.test(part));

    // An open that loads into this window, a window above it, one of its frames or a window an
    // earlier open made, gets a window that was there already: no new tab comes of it.
    const existing = (opened) => {
        if (opened === page || opened === page.parent || opened === page.top || madeHere.has(opened))
            return true;
        for (let i = 0; i < page.frames.length; ++i)
            if (page.frames[i] === opened)
                return true;
        return false;
    };

    function open(url, target, features) {
        const event = window.event;
        const trusted = Boolean(event && event.isTrusted);
        const note = {
            kind: 'open',
            note: nextNote++,
            url: absolute(url),
            gesture: Boolean(navigator.userActivation && navigator.userActivation.isActive),
            trusted,
            ctrl: trusted && Boolean(event.ctrlKey),
            shift: trusted && Boolean(event.shiftKey),
        };
        send(note);
        // Omitted arguments arrive as undefined, which window.open takes as its defaults. An
        // array of ours would be out of the page's reach.
        const opened = pageOpen.call(page, url, target, features);
        if (opened === null ? !asksNoopener(features) : existing(opened))
            send({kind: 'refused', note: note.note});
        else if (opened !== null)
            madeHere.add(opened);
        return opened;
    }
    exportFunction(open, page, {defineAs: 'open'});

    const noteInput = (event) => {
        if (!event.isTrusted)
            return;
        if (event.type === 'keydown' && event.key !== 'Enter' && event.key !== ' ')
            return;
        send({kind: 'input', ctrl: event.ctrlKey, shift: event.shiftKey});
    };
    for (const type of ['click', 'auxclick', 'keydown'])
        window.addEventListener(type, noteInput, {capture: true});
})();
