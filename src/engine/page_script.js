// window.cefQuery and window.cefQueryCancel, in the page's own script world of
// every frame. Runs at document creation, before any page script, and hands
// bridge_script.js (in the program's script world) a detached element that
// carries requests and answers; no page script can reach that element.
//
// Page scripts may later replace any built-in (JSON, Function.prototype.apply,
// Object.keys, prototype getters): everything used after start-up is taken here
// first and called through Reflect.apply, and only primitive values cross to
// the other world.
(function () {
  'use strict';
  var apply = Reflect.apply;
  var createObject = Object.create;
  var parseJson = JSON.parse;
  var ErrorType = Error;
  var EventType = Event;
  var setTimer = window.setTimeout;
  var dispatch = EventTarget.prototype.dispatchEvent;
  var listen = EventTarget.prototype.addEventListener;
  var setAttribute = Element.prototype.setAttribute;
  var getAttribute = Element.prototype.getAttribute;

  var encoder = new TextEncoder();
  var encode = TextEncoder.prototype.encode;
  var byteLength = Object.getOwnPropertyDescriptor(
      Object.getPrototypeOf(Uint8Array.prototype), 'byteLength').get;

  // Requests longer than this many bytes of UTF-8 never leave the page; the browser
  // refuses them as well (kMaxBridgeRequestBytes in bridge/bridge_router.h, where
  // the reason is). Sent, one would hold up the program's windows while it is
  // carried and parsed.
  var MAX_REQUEST_BYTES = 10 * 1024 * 1024;
  var CANCELED_CODE = -1;
  var CANCELED_MESSAGE = 'The query has been canceled';

  var port = apply(Document.prototype.createElement, document, ['lumio-port']);
  var pending = createObject(null);  // page id -> {onSuccess, onFailure, persistent}
  var nextId = 1;

  function send(type, id, request, persistent) {
    apply(setAttribute, port, ['data-id', '' + id]);
    if (type === 'lumio-query') {
      apply(setAttribute, port, ['data-request', request]);
      apply(setAttribute, port, ['data-persistent', persistent ? '1' : '0']);
    }
    apply(dispatch, port, [new EventType(type)]);
  }
  function report(error) {
    apply(setTimer, window, [function () { throw error; }, 0]);
  }

  // A UTF-16 code unit takes at least one byte of UTF-8 and at most three.
  function isTooLong(request) {
    if (request.length > MAX_REQUEST_BYTES) return true;
    if (request.length * 3 <= MAX_REQUEST_BYTES) return false;
    return apply(byteLength, apply(encode, encoder, [request]), []) > MAX_REQUEST_BYTES;
  }

  function answer(id, success, code, text) {
    var entry = pending[id];
    if (!entry) return;
    if (!success || !entry.persistent) delete pending[id];
    var fn = success ? entry.onSuccess : entry.onFailure;
    if (typeof fn !== 'function') return;
    try {
      if (success) apply(fn, undefined, [text]);
      else apply(fn, undefined, [code, text]);
    } catch (e) {
      report(e);
    }
  }
  apply(listen, port, ['lumio-response', function () {
    var response = parseJson(apply(getAttribute, port, ['data-response']));
    answer(response[0], response[1], response[2], response[3]);
  }]);

  var init = createObject(null);
  init.relatedTarget = port;
  apply(dispatch, document, [new MouseEvent('lumio-bridge-port', init)]);

  window.cefQuery = function (options) {
    var request = options && typeof options === 'object' ? options.request : undefined;
    if (typeof request !== 'string') {
      throw new ErrorType('Invalid arguments; expecting a single object with a string "request"');
    }
    var entry = createObject(null);
    entry.onSuccess = options.onSuccess;
    entry.onFailure = options.onFailure;
    entry.persistent = options.persistent === true;
    var id = nextId++;
    pending[id] = entry;
    if (isTooLong(request)) {
      // Answered later, as the browser answers: the page may still cancel it.
      apply(setTimer, window, [function () {
        answer(id, false, CANCELED_CODE, CANCELED_MESSAGE);
      }, 0]);
      return id;
    }
    send('lumio-query', id, request, entry.persistent);
    return id;
  };
  window.cefQueryCancel = function (id) {
    if (typeof id !== 'number' || !pending[id]) return;
    delete pending[id];
    send('lumio-cancel', id);
  };
})();
