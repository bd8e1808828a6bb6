// Lumio's page interface for TypeScript: the bridge commands with their requests
// and responses, the page events with their payloads, window.cefQuery and
// window.cefMessage as the shell defines them, and the lumio.js wrapper.
//
// A global declaration file: list it in your tsconfig.json ("files" or
// "include") and load lumio.js in the page before your own scripts.

/** The main window as the shell reports it. */
type LumioWindowState = "focused" | "visible" | "hidden";

/** Keywords of "OrbitPopupPrepare" that the shell knows; other words are ignored. */
type LumioPopupKeyword = "noborder" | "fixed" | "bottomside" | "center";

/** One item of the tray icon's menu. */
interface LumioTrayMenuItem {
  /** Sent back as "itemId" of "OrbitTrayIconMenuDidSelect"; 0 when missing. */
  id?: number;
  label: string;
  /** Only `true` enables the item. */
  enabled?: boolean;
}

/** The response "{}". */
type LumioEmpty = Record<string, never>;

/**
 * Every bridge command: the members of its request besides "command", and its
 * response. Members that a request leaves out take the shell's defaults
 * (0, false, "" or an empty list; -1 for "unreadCount" and "defaultItemId").
 */
interface LumioCommands {
  /** The start-up handshake: shows the main window; "OrbitAppInitializedReply" follows. */
  OrbitAppInitialized: { request: LumioEmpty; response: { text: string } };
  /** Hides the main window, sends "OrbitAppWillQuit" and quits 5 s later. */
  OrbitAppQuit: { request: LumioEmpty; response: LumioEmpty };
  /** Quits at once. Never answered. */
  OrbitAppQuitNow: { request: LumioEmpty; response: never };
  OrbitAppGetInfo: {
    request: LumioEmpty;
    response: { appVersion: string; computerName: string };
  };
  /** A desktop notification; the unread count on the tray icon and launcher (0 or less clears it). */
  OrbitTrayIconNotify: {
    request: { title?: string; text?: string; unreadCount?: number };
    response: LumioEmpty;
  };
  /** Replaces the tray icon's menu. "defaultItemId" has no effect on Linux. */
  OrbitTrayIconUpdateMenu: {
    request: { items?: LumioTrayMenuItem[]; defaultItemId?: number };
    response: LumioEmpty;
  };
  /** No effect on Linux. */
  OrbitToastShow: { request: { width?: number; height?: number }; response: LumioEmpty };
  /** No effect on Linux. */
  OrbitToastHide: { request: LumioEmpty; response: LumioEmpty };
  OrbitMainBrowserShow: { request: LumioEmpty; response: LumioEmpty };
  OrbitMainBrowserHide: { request: LumioEmpty; response: LumioEmpty };
  /** Asks for the user's attention (the window's urgency hint). */
  OrbitMainBrowserFlash: { request: LumioEmpty; response: LumioEmpty };
  OrbitMainBrowserUnflash: { request: LumioEmpty; response: LumioEmpty };
  OrbitMainBrowserMinimize: { request: LumioEmpty; response: LumioEmpty };
  OrbitMainBrowserSetTopmost: { request: { enabled?: boolean }; response: LumioEmpty };
  OrbitMainBrowserGetState: { request: LumioEmpty; response: { state: LumioWindowState } };
  /** Opacity 0 (clear) to 255 (opaque); anything else fails with code 0, "Out of range". */
  OrbitMainBrowserSetAlpha: { request: { value?: number }; response: LumioEmpty };
  /** No effect on Linux. */
  OrbitMainBrowserSetIMEEnabled: { request: { enabled?: boolean }; response: LumioEmpty };
  /** Opens an http, https or mailto address in the user's browser; others open nothing. */
  OrbitOSOpenExternalBrowser: { request: { url?: string }; response: LumioEmpty };
  /** The user's idle time in milliseconds. */
  OrbitOSGetUserIdleTime: { request: LumioEmpty; response: { t: number } };
  OrbitOSIsStartupAppRegistered: { request: LumioEmpty; response: { registered: boolean } };
  /** Answers once done, written or not: OrbitOSIsStartupAppRegistered tells. */
  OrbitOSRegisterStartupApp: { request: LumioEmpty; response: LumioEmpty };
  /** Answers once done, removed or not: OrbitOSIsStartupAppRegistered tells. */
  OrbitOSUnregisterStartupApp: { request: LumioEmpty; response: LumioEmpty };
  /** Window options for the next window.open(url, name, "width=…,height=…") with this name. */
  OrbitPopupPrepare: {
    request: { name: string; features?: Array<LumioPopupKeyword | (string & {})> };
    response: LumioEmpty;
  };
}

type LumioCommandName = keyof LumioCommands;
type LumioRequest<K extends LumioCommandName> = LumioCommands[K]["request"];
type LumioResponse<K extends LumioCommandName> = LumioCommands[K]["response"];

/** Every page event and its payload. */
interface LumioEvents {
  /** After "OrbitAppInitialized" has answered; the same object as its response. */
  OrbitAppInitializedReply: { text: string };
  /** The application is quitting: the window is hidden, and in 5 s every window closes. */
  OrbitAppWillQuit: LumioEmpty;
  /** The main window's state changed. */
  OrbitMainBrowserStateChange: { state: LumioWindowState };
  /** A window (the main one or a popup) is closing; name is its window.name. */
  OrbitBrowserWillClose: { name: string };
  /** A frame of any window went to a new address. */
  OrbitBrowserOnAddressChange: { url: string };
  /** The user chose an item of the tray icon's menu. */
  OrbitTrayIconMenuDidSelect: { itemId: number };
}

type LumioEventName = keyof LumioEvents;

/** Any page event as handlers of "*" receive it: checking name narrows payload. */
type LumioAnyEventArgs = { [K in LumioEventName]: [payload: LumioEvents[K], name: K] }[LumioEventName];

/** How a command failed: the shell's code and the "error" member of its message. */
interface LumioError extends Error {
  name: "LumioError";
  /** 0 for the command's own failure, -1 when no handler took the request. */
  code: number;
  /** "Out of range", or the failure text when it is not JSON. */
  message: string;
  /** The failure text as the shell sent it: '{"error":"Out of range"}'. */
  response: string;
}

/** Commands whose request has no required member may be invoked without arguments. */
type LumioInvokeArgs<K extends LumioCommandName> = {} extends LumioRequest<K>
  ? [args?: LumioRequest<K>]
  : [args: LumioRequest<K>];

interface Lumio {
  /** Sends a bridge command; resolves with its response, rejects with a LumioError. */
  invoke<K extends LumioCommandName>(command: K, ...args: LumioInvokeArgs<K>): Promise<LumioResponse<K>>;
  /** Calls handler for every event of that name; returns a function that stops it. */
  on<K extends LumioEventName>(name: K, handler: (payload: LumioEvents[K], name: K) => void): () => void;
  on(name: "*", handler: (...event: LumioAnyEventArgs) => void): () => void;
  readonly LumioError: new (code: number, text: string) => LumioError;
}

/** The options of window.cefQuery. */
interface LumioQueryOptions {
  /** JSON text of an object whose member "command" names the command. */
  request: string;
  /** Stays open for several answers, until cefQueryCancel. No command uses this. */
  persistent?: boolean;
  /** Called with the response, compact JSON text. */
  onSuccess?: (response: string) => void;
  /** Called with a code and a message text. */
  onFailure?: (code: number, message: string) => void;
}

/** The promise wrapper of lumio.js. */
declare var lumio: Lumio;
/** Sends a bridge request; returns the query's id. Defined by the shell in every frame. */
declare function cefQuery(options: LumioQueryOptions): number;
/** Ends an open query. */
declare function cefQueryCancel(id: number): void;
/**
 * Called by the shell for every page event. With lumio.js loaded, reading it
 * gives lumio.js's dispatcher and assigning it adds one more handler.
 */
declare var cefMessage:
  | ((...event: { [K in LumioEventName]: [name: K, payload: LumioEvents[K]] }[LumioEventName]) => void)
  | undefined;
