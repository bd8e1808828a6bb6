// lumio.js: promises and event listeners over the shell's page interface.
//
//   const state = await lumio.invoke('OrbitMainBrowserGetState');   // {state: 'focused'}
//   const off = lumio.on('OrbitMainBrowserStateChange', ({state}) => show(state));
//
// lumio.invoke(command, args) sends one bridge request through window.cefQuery:
// the request is {command, ...args}. It resolves with the parsed response and
// rejects with a LumioError {code, message, response}: message is the "error"
// member of the failure text when it has one ("Out of range"), else the text
// itself; response is the text as the shell sent it. "OrbitAppQuitNow" is never
// answered, so its promise never settles.
//
// lumio.on(name, handler) calls handler(payload, name) for every page event of
// that name, "*" for every event; it returns a function that removes the
// handler. Any number of handlers may listen; one that throws does not keep the
// event from the others (the error is reported asynchronously). The page may
// still set window.cefMessage itself: that function is called with every event
// too, after the handlers, and does not unhook them. Load this script before any
// other, so that no event arrives before it listens.
//
// Declarations for TypeScript: lumio.d.ts beside this file.
(function (global) {
  'use strict';
  if (global.lumio) return;

  class LumioError extends Error {
    constructor(code, text) {
      let message = String(text);
      try {
        const parsed = JSON.parse(message);
        if (parsed && typeof parsed.error === 'string') message = parsed.error;
      } catch (e) {
        // Not JSON: the text is the message.
      }
      super(message);
      this.name = 'LumioError';
      this.code = code;
      this.response = String(text);
    }
  }

  function invoke(command, args) {
    return new Promise((resolve, reject) => {
      if (typeof command !== 'string' || command === '') {
        throw new TypeError('lumio.invoke: the command must be a non-empty string');
      }
      if (args !== undefined && args !== null && typeof args !== 'object') {
        throw new TypeError('lumio.invoke: the arguments must be an object');
      }
      if (typeof global.cefQuery !== 'function') {
        throw new LumioError(-1, 'window.cefQuery is missing: the page is not running in Lumio');
      }
      const request = Object.assign({}, args, {command});
      global.cefQuery({
        request: JSON.stringify(request),
        persistent: false,
        onSuccess(text) {
          let value;
          try {
            value = JSON.parse(text);
          } catch (e) {
            value = text;
          }
          resolve(value);
        },
        onFailure(code, text) {
          reject(new LumioError(code, text));
        },
      });
    });
  }

  const listeners = new Map();  // event name or "*" -> array of handlers
  let pageHandler = typeof global.cefMessage === 'function' ? global.cefMessage : null;

  function report(error) {
    setTimeout(() => { throw error; }, 0);
  }
  function callEach(handlers, payload, name) {
    // A copy: handlers added or removed while the event is delivered change the
    // next event, not this one.
    for (const handler of handlers.slice()) {
      try {
        handler.call(undefined, payload, name);
      } catch (e) {
        report(e);
      }
    }
  }
  function dispatch(name, payload) {
    callEach(listeners.get(name) || [], payload, name);
    callEach(listeners.get('*') || [], payload, name);
    if (pageHandler) callEach([pageHandler], payload, name);
  }

  function on(name, handler) {
    if (typeof name !== 'string' || typeof handler !== 'function') {
      throw new TypeError('lumio.on: expects an event name and a function');
    }
    // Each call adds one registration, so the same function may listen twice.
    const entry = (payload, eventName) => handler(payload, eventName);
    if (!listeners.has(name)) listeners.set(name, []);
    listeners.get(name).push(entry);
    return function off() {
      const list = listeners.get(name);
      const index = list ? list.indexOf(entry) : -1;
      if (index >= 0) list.splice(index, 1);
    };
  }

  // The shell calls window.cefMessage(name, payload) for every event. The page's
  // own assignment to it lands beside the handlers instead of replacing them.
  Object.defineProperty(global, 'cefMessage', {
    configurable: true,
    enumerable: true,
    get() { return dispatch; },
    set(fn) { pageHandler = typeof fn === 'function' && fn !== dispatch ? fn : null; },
  });

  global.lumio = Object.freeze({invoke, on, LumioError});
})(window);
