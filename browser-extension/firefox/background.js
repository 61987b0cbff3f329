'use strict';
// Holds every new popup tab's first request until the ZOR Brakkon program has decided on it,
// through the native relay. Browsing never depends on the program: without it, or without an
// answer in time, a popup is let through at once, and tabs that are not new popups are never held.

const HOST = 'zor_brakkon_firefox_relay';
const VERSION = browser.runtime.getManifest().version;
const ANSWER_MS = 3000;
// How long a popup waits for a relay that is starting to reach the program. A relay that finds
// no program ends at once, so only a program that is there but slow makes a popup wait this long.
const CONNECT_MS = 1500;
// A new tab is a popup candidate this long after its creation: its request may come before
// the event that names its opener.
const CANDIDATE_MS = 1000;
const CLASSIFY_WAIT_MS = 200;
// A trusted click or key this long before a popup's creation made it, when it has no
// window.open note (a link). Counted from the creation, not from the decision, which a busy
// machine can delay by more than this.
const INPUT_MS = 1000;
// How long a popup without any note waits for the page's note of its open or click to catch up.
const NOTE_WAIT_MS = 100;
const NOTE_LIFE_MS = 5000;
// How recent a page's open must be for a new tab to be taken as its window.
const EARLY_NOTE_MS = 1000;
const RETRY_MIN_MS = 1000;
const RETRY_MAX_MS = 10000;

let port = null;
let welcomed = false;
let retryMs = RETRY_MIN_MS;
let retryTimer = null;
let nextRequest = 1;
const pending = new Map(); // request id -> resolve(cancel)
const candidates = new Map(); // new tab id -> creation time
const popups = new Map(); // popup tab id -> popup
const reported = new Map(); // tab id -> what the program last heard of it
const notes = new Map(); // tab id -> [open notes, oldest first]
const inputs = new Map(); // tab id -> last trusted click or key
const waiters = new Set(); // called whenever a note or classification arrives

const log = (...words) => console.info('ZOR Brakkon:', ...words);

function wake() {
    for (const waiter of [...waiters])
        waiter();
}

// Resolves true once test() holds, or false after ms; rechecked whenever something arrives.
function waitFor(test, ms) {
    if (test())
        return Promise.resolve(true);
    return new Promise((resolve) => {
        const done = (result) => {
            waiters.delete(check);
            clearTimeout(timer);
            resolve(result);
        };
        const check = () => {
            if (test())
                done(true);
        };
        const timer = setTimeout(() => done(false), ms);
        waiters.add(check);
    });
}

// --- the program, through the relay ---

function post(message) {
    if (!port)
        return false;
    try {
        port.postMessage(message);
        return true;
    } catch (error) {
        log('cannot reach the relay:', String(error));
        return false;
    }
}

function connect() {
    clearTimeout(retryTimer);
    retryTimer = null;
    if (port)
        return;
    try {
        port = browser.runtime.connectNative(HOST);
    } catch (error) {
        log('native host unavailable:', String(error));
        scheduleConnect();
        return;
    }
    port.onMessage.addListener(fromProgram);
    port.onDisconnect.addListener((gone) => {
        const why = gone.error ? gone.error.message : 'closed';
        if (port === gone) {
            port = null;
            welcomed = false;
        }
        log('program not reachable (' + why + '); popups are let through until it is back');
        for (const resolve of pending.values())
            resolve(false);
        pending.clear();
        scheduleConnect();
        wake();
    });
    post({type: 'hello', version: VERSION});
}

function scheduleConnect() {
    if (retryTimer)
        return;
    retryTimer = setTimeout(connect, retryMs);
    retryMs = Math.min(retryMs * 2, RETRY_MAX_MS);
}

async function fromProgram(message) {
    if (message.type === 'welcome') {
        welcomed = true;
        retryMs = RETRY_MIN_MS;
        log('connected to the program');
        wake();
        // A program that has just started knows no tab yet.
        reported.clear();
        for (const tab of await browser.tabs.query({}))
            reportTab(tab);
    } else if (message.type === 'verdict') {
        const resolve = pending.get(message.id);
        pending.delete(message.id);
        if (resolve)
            resolve(Boolean(message.cancel));
    }
}

// Only what changed is sent: an opener goes ahead of each of its popups, mostly unchanged, and
// each message wakes the relay and the program on a busy machine.
// Firefox writes this port's messages one at a time, each waiting for its busy main thread, so
// a popup that is still being decided is reported only once let through: the question about
// it, and about the popups after it, must not queue behind its tab.
function reportTab(tab) {
    if (!welcomed || tab.id === undefined || tab.id === browser.tabs.TAB_ID_NONE || popupFor(tab.id))
        return;
    const message = {type: 'tab', tab: tab.id, window: tab.windowId, url: tab.url || '', title: tab.title || ''};
    const known = reported.get(tab.id);
    if (known && known.window === message.window && known.url === message.url && known.title === message.title)
        return;
    if (post(message))
        reported.set(tab.id, message);
}

// --- notes from the pages ---

browser.runtime.onMessage.addListener((message, sender) => {
    const tabId = sender.tab && sender.tab.id;
    if (tabId === undefined)
        return;
    const now = Date.now();
    if (message.kind === 'open') {
        const list = (notes.get(tabId) || []).filter((note) => now - note.at < NOTE_LIFE_MS);
        list.push({...message, frameId: sender.frameId, tab: sender.tab, at: now});
        notes.set(tabId, list);
    } else if (message.kind === 'refused') {
        // Firefox's own blocker refused this open, or it loaded into a window that was there
        // already: no popup will pair with it.
        const list = notes.get(tabId) || [];
        notes.set(tabId, list.filter((note) => !(note.frameId === sender.frameId && note.note === message.note)));
    } else if (message.kind === 'input') {
        inputs.set(tabId, {ctrl: Boolean(message.ctrl), shift: Boolean(message.shift), tab: sender.tab, at: now});
    }
    wake();
});

// Takes the note of this popup's own open: same frame, same address when both are known. An open
// of another address is taken only when made after the user's last click or key (input): one made
// before it is an earlier open that made no window, and the popup is that click's.
function takeNote(popup, input) {
    const now = Date.now();
    const list = (notes.get(popup.source) || []).filter((note) => now - note.at < NOTE_LIFE_MS);
    const blank = (url) => url === '' || url === 'about:blank';
    const sameFrame = list.filter((note) => note.frameId === popup.frameId);
    const note =
        sameFrame.find((note) => note.url === popup.url || (blank(note.url) && blank(popup.url))) ||
        sameFrame.find((note) => !input || note.at >= input.at);
    notes.set(popup.source, list.filter((other) => other !== note));
    return note;
}

async function factsOf(popup) {
    const recentInput = () => {
        const input = inputs.get(popup.source);
        return input && input.at > popup.created - INPUT_MS ? input : null;
    };
    const hasNote = () => (notes.get(popup.source) || []).some((note) => note.frameId === popup.frameId);
    await waitFor(() => hasNote() || recentInput(), NOTE_WAIT_MS);
    const note = takeNote(popup, recentInput());
    if (note)
        return {gesture: note.gesture, ctrl: note.ctrl, shift: note.shift, opener: note.tab};
    // No open was noted: a link, or a page that dodged the wrapper (then no user event).
    const input = recentInput();
    if (input)
        return {gesture: true, ctrl: input.ctrl, shift: input.shift, opener: input.tab};
    return {gesture: false, ctrl: false, shift: false};
}

// --- popups ---

// A popup let through is an ordinary tab from then on; it stays known until it closes, so that
// the event naming its opener, which may come after the verdict, does not ask about it again.
function popupFor(tabId) {
    const popup = popups.get(tabId);
    return popup && !popup.letThrough ? popup : undefined;
}

function decide(popup) {
    if (!popup.decision)
        popup.decision = ask(popup)
            .catch((error) => {
                log('popup of tab', popup.source, 'let through: deciding failed:', String(error));
                return false;
            })
            .then((cancel) => {
                if (cancel) {
                    popup.cancelled = true;
                    browser.tabs.remove(popup.tab).catch(() => {});
                } else {
                    popup.letThrough = true;
                    browser.tabs.get(popup.tab).then(reportTab, () => {});
                }
                return cancel;
            });
    return popup.decision;
}

async function ask(popup) {
    const facts = await factsOf(popup);
    // The relay died or the program has just started: Firefox starts a new relay on
    // connectNative, and it either reaches the program or ends within moments. A relay that was
    // already starting may have looked before the program was there: one more then.
    for (let attempt = 0; !welcomed && attempt < 2; ++attempt) {
        const fresh = !port;
        if (fresh)
            connect();
        await waitFor(() => welcomed || !port, CONNECT_MS);
        if (fresh || port)
            break;
    }
    if (!welcomed) {
        log('popup of tab', popup.source, 'let through: the program is not running');
        return false;
    }
    // Tabs are not followed through their loads (that costs every page load more than all the
    // rest of the extension does), so the opener's address, title and window go ahead of the
    // question about it: as they were when the page noted the open or click, else looked up.
    const opener = facts.opener || (await browser.tabs.get(popup.source).catch(() => null));
    if (opener)
        reportTab(opener);
    const id = nextRequest++;
    const asked = new Promise((resolve) => {
        pending.set(id, resolve);
        setTimeout(() => {
            if (pending.delete(id)) {
                log('popup of tab', popup.source, 'let through: no answer within', ANSWER_MS, 'ms');
                resolve(false);
            }
        }, ANSWER_MS);
    });
    const sent = post({
        type: 'popup',
        id,
        opener: popup.source,
        popupTab: popup.tab,
        url: popup.url,
        gesture: facts.gesture,
        ctrl: facts.ctrl,
        shift: facts.shift,
        askedAt: Date.now(),
    });
    if (!sent) {
        pending.delete(id);
        return false;
    }
    return asked;
}

// Popups are asked about as soon as it is known what asked for them, and those of the same
// addresses as on their request: a window the page writes itself loads nothing, so no request
// will come to ask on; other addresses that make no request the extension sees are left to their
// request, as they always were.
const askedEarly = (url) => url === '' || url === 'about:blank' || /^https?:/i.test(url);

const recentNotes = (list) => {
    const now = Date.now();
    return (list || []).filter((note) => now - note.at < EARLY_NOTE_MS);
};

// A tab Firefox opens for a page names that page at once, while the event that names its frame
// and address comes tens of milliseconds later. When the page has noted exactly one open just
// now, the tab is that open's window, and a cancelled one is closed that much sooner.
function earlyPopup(tab) {
    if (!welcomed || tab.openerTabId === undefined)
        return null;
    const recent = recentNotes(notes.get(tab.openerTabId));
    const input = inputs.get(tab.openerTabId);
    if (recent.length !== 1 || !askedEarly(recent[0].url) || (input && input.at > recent[0].at))
        return null;
    return {
        tab: tab.id,
        source: tab.openerTabId,
        frameId: recent[0].frameId,
        url: recent[0].url,
        created: Date.now(),
        early: true,
    };
}

browser.tabs.onCreated.addListener((tab) => {
    candidates.set(tab.id, Date.now());
    setTimeout(() => candidates.delete(tab.id), CANDIDATE_MS);
    const popup = earlyPopup(tab);
    if (popup) {
        candidates.delete(tab.id);
        popups.set(tab.id, popup);
        decide(popup);
    }
    reportTab(tab);
});

browser.webNavigation.onCreatedNavigationTarget.addListener((details) => {
    const created = candidates.get(details.tabId) ?? Date.now();
    candidates.delete(details.tabId);
    const early = popups.get(details.tabId);
    if (early && early.early) {
        if (early.source !== details.sourceTabId || early.frameId !== details.sourceFrameId)
            log('popup of tab', details.sourceTabId, 'was decided with the open noted by tab', early.source);
        return;
    }
    const popup = {
        tab: details.tabId,
        source: details.sourceTabId,
        frameId: details.sourceFrameId,
        url: details.url || '',
        created,
    };
    popups.set(details.tabId, popup);
    wake();
    if (askedEarly(popup.url))
        decide(popup);
});

const notedOpen = (url) => [...notes.values()].some((list) => recentNotes(list).some((note) => note.url === url));

browser.webRequest.onBeforeRequest.addListener(
    (details) => {
        let popup = popupFor(details.tabId);
        if (popup)
            return decide(popup).then((cancel) => (cancel ? {cancel: true} : {}));
        const created = candidates.get(details.tabId);
        if (created === undefined)
            return {};
        // The request came before the event that tells whether this new tab is a popup. When a
        // page has just asked window.open for this very address, the tab is that open's window:
        // on a busy machine its event can come late, and letting the request go would load it.
        const opened = notedOpen(details.url);
        const classified = () => popups.has(details.tabId) || (!opened && !candidates.has(details.tabId));
        return waitFor(classified, opened ? ANSWER_MS : CLASSIFY_WAIT_MS).then(() => {
            popup = popupFor(details.tabId);
            return popup ? decide(popup).then((cancel) => (cancel ? {cancel: true} : {})) : {};
        });
    },
    {urls: ['<all_urls>'], types: ['main_frame']},
    ['blocking']
);

browser.tabs.onRemoved.addListener((tabId) => {
    candidates.delete(tabId);
    // A cancelled popup is closed as soon as its verdict comes, which may be before its request:
    // one still on its way finds the verdict.
    if (popups.has(tabId) && popups.get(tabId).cancelled)
        setTimeout(() => popups.delete(tabId), CANDIDATE_MS);
    else
        popups.delete(tabId);
    notes.delete(tabId);
    inputs.delete(tabId);
    if (reported.delete(tabId) && welcomed)
        post({type: 'tabGone', tab: tabId});
});

connect();
