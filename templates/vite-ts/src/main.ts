// The app's entry. lumio-web comes first, so that no event arrives before it
// listens.
import { invoke, on, LumioError } from "lumio-web";
import "./style.css";

const greeting = document.querySelector<HTMLElement>("#greeting")!;
const state = document.querySelector<HTMLElement>("#state")!;

on("OrbitMainBrowserStateChange", ({ state: value }) => {
  state.textContent = value;
});

document.querySelector("#notify")!.addEventListener("click", async () => {
  try {
    await invoke("OrbitTrayIconNotify", { title: "Hello", text: "From the starter", unreadCount: 1 });
  } catch (e) {
    if (e instanceof LumioError) console.error(e.code, e.message);
  }
});

// The handshake shows the main window, which stays hidden until then.
const { text } = await invoke("OrbitAppInitialized");
greeting.textContent = text;
const { appVersion } = await invoke("OrbitAppGetInfo");
document.title = `Lumio ${appVersion}`;
