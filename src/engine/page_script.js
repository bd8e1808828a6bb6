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

  apply(listen, port, ['lumio-response', function () {
    var answer = parseJson(apply(getAttribute, port, ['data-response']));
    var id = answer[0], success = answer[1], code = answer[2], text = answer[3];
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
    send('lumio-query', id, request, entry.persistent);
    return id;
  };
  window.cefQueryCancel = function (id) {
    if (typeof id !== 'number' || !pending[id]) return;
    delete pending[id];
    send('lumio-cancel', id);
  };
})();
