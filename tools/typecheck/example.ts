// A page written against lumio.d.ts: every command and every event used as the
// declarations promise, and the mistakes they must catch (each @ts-expect-error
// line fails the check when the declarations let it through).

async function everyCommand(): Promise<void> {
  const hello: string = (await lumio.invoke("OrbitAppInitialized")).text;
  const info = await lumio.invoke("OrbitAppGetInfo");
  const version: string = info.appVersion;
  const computer: string = info.computerName;

  await lumio.invoke("OrbitTrayIconNotify", { title: "Mail", text: "2 new", unreadCount: 2 });
  await lumio.invoke("OrbitTrayIconNotify");
  await lumio.invoke("OrbitTrayIconUpdateMenu", {
    items: [{ id: 1, label: "Open", enabled: true }, { label: "Later" }],
    defaultItemId: 1,
  });
  await lumio.invoke("OrbitToastShow", { width: 300, height: 80 });
  await lumio.invoke("OrbitToastHide");

  await lumio.invoke("OrbitMainBrowserShow");
  await lumio.invoke("OrbitMainBrowserHide", {});
  await lumio.invoke("OrbitMainBrowserFlash");
  await lumio.invoke("OrbitMainBrowserUnflash");
  await lumio.invoke("OrbitMainBrowserMinimize");
  await lumio.invoke("OrbitMainBrowserSetTopmost", { enabled: true });
  const state: LumioWindowState = (await lumio.invoke("OrbitMainBrowserGetState")).state;
  await lumio.invoke("OrbitMainBrowserSetAlpha", { value: 200 });
  await lumio.invoke("OrbitMainBrowserSetIMEEnabled", { enabled: false });

  await lumio.invoke("OrbitOSOpenExternalBrowser", { url: "https://example.org/" });
  const idle: number = (await lumio.invoke("OrbitOSGetUserIdleTime")).t;
  const registered: boolean = (await lumio.invoke("OrbitOSIsStartupAppRegistered")).registered;
  await lumio.invoke("OrbitOSRegisterStartupApp");
  await lumio.invoke("OrbitOSUnregisterStartupApp");

  await lumio.invoke("OrbitPopupPrepare", { name: "chat", features: ["noborder", "center"] });
  await lumio.invoke("OrbitPopupPrepare", { name: "chat", features: ["some-future-word"] });
  window.open("chat.html", "chat", "width=300,height=400");

  await lumio.invoke("OrbitAppQuit");
  // Never answered: nothing can come of it.
  const never: never = await lumio.invoke("OrbitAppQuitNow");

  console.log(hello, version, computer, state, idle, registered, never);
}

async function failures(): Promise<void> {
  try {
    await lumio.invoke("OrbitMainBrowserSetAlpha", { value: 256 });
  } catch (e) {
    if (e instanceof lumio.LumioError) {
      const code: number = e.code;
      const message: string = e.message;
      const text: string = e.response;
      console.log(code, message, text);
    }
  }
}

function everyEvent(): void {
  const offs: Array<() => void> = [
    lumio.on("OrbitAppInitializedReply", (p) => console.log(p.text.toUpperCase())),
    lumio.on("OrbitAppWillQuit", (p, name) => console.log(Object.keys(p), name)),
    lumio.on("OrbitMainBrowserStateChange", ({ state }) => {
      const s: "focused" | "visible" | "hidden" = state;
      console.log(s);
    }),
    lumio.on("OrbitBrowserWillClose", (p) => console.log(p.name.length)),
    lumio.on("OrbitBrowserOnAddressChange", (p) => console.log(new URL(p.url).host)),
    lumio.on("OrbitTrayIconMenuDidSelect", (p) => console.log(p.itemId.toFixed(0))),
    lumio.on("*", (payload, name) => {
      // The name tells the payload.
      if (name === "OrbitBrowserOnAddressChange") console.log(payload.url);
      if (name === "OrbitTrayIconMenuDidSelect") console.log(payload.itemId + 1);
    }),
  ];
  offs.forEach((off) => off());
}

function theShellsOwnFunctions(): void {
  const id: number = window.cefQuery({
    request: JSON.stringify({ command: "OrbitMainBrowserGetState" }),
    onSuccess: (text) => console.log(JSON.parse(text).state),
    onFailure: (code, message) => console.log(code + 1, message.length),
  });
  cefQueryCancel(id);
  window.cefMessage = (name, payload) => {
    if (name === "OrbitMainBrowserStateChange") console.log(payload.state);
  };
}

async function mistakes(): Promise<void> {
  // @ts-expect-error: no such command
  await lumio.invoke("OrbitMainBrowserClose");
  // @ts-expect-error: "value" is a number
  await lumio.invoke("OrbitMainBrowserSetAlpha", { value: "255" });
  // @ts-expect-error: "enabled" is a boolean
  await lumio.invoke("OrbitMainBrowserSetTopmost", { enabled: 1 });
  // @ts-expect-error: a popup needs its name
  await lumio.invoke("OrbitPopupPrepare");
  // @ts-expect-error: features are words
  await lumio.invoke("OrbitPopupPrepare", { name: "x", features: [1] });
  // @ts-expect-error: a menu item needs its label
  await lumio.invoke("OrbitTrayIconUpdateMenu", { items: [{ id: 1 }] });
  // @ts-expect-error: the state is one of three words
  const wrong: "minimized" = (await lumio.invoke("OrbitMainBrowserGetState")).state;
  // @ts-expect-error: the info has no "version"
  console.log((await lumio.invoke("OrbitAppGetInfo")).version, wrong);
  // @ts-expect-error: no such event
  lumio.on("OrbitWindowClosed", () => {});
  // @ts-expect-error: the state event carries no url
  lumio.on("OrbitMainBrowserStateChange", (p) => console.log(p.url));
  // @ts-expect-error: itemId is a number
  lumio.on("OrbitTrayIconMenuDidSelect", (p) => console.log(p.itemId.toUpperCase()));
  // @ts-expect-error: "request" is JSON text, not an object
  window.cefQuery({ request: { command: "OrbitAppGetInfo" } });
}

void everyCommand;
void failures;
void everyEvent;
void theShellsOwnFunctions;
void mistakes;
