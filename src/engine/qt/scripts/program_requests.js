// Requests of the app's own documents to other origins; part of the page script
// (see query_stub.js).
//
// The engine keeps the web's same-origin rules for every document, so a server
// that sends no CORS headers refuses the app's request too. The app's own
// documents may call any server: a cross-origin http(s) request that the engine
// refused is sent again by the program ("n" records; the browser checks that the
// document is one of the app's). fetch() and asynchronous XMLHttpRequest do
// this; the program's requests carry none of the engine's cookies.
var isAppDocument = String(self.origin) === APP_ORIGIN;
var jsonParse = JSON.parse;
var jsonStringify = JSON.stringify;
var toBase64 = window.btoa;
var fromBase64 = window.atob;
var fromCharCode = String.fromCharCode;
var subarray = Uint8Array.prototype.subarray;
var responseBuffer = Response.prototype.arrayBuffer;
var responseHeaders = Object.getOwnPropertyDescriptor(Response.prototype, 'headers').get;
var headersGet = Headers.prototype.get;
var DecoderType = TextDecoder;
var decode = TextDecoder.prototype.decode;
var BlobType = Blob;
var EventType = Event;
var ProgressEventType = ProgressEvent;
var WeakMapType = WeakMap;
var weakGet = WeakMap.prototype.get;
var weakSet = WeakMap.prototype.set;
var stopImmediate = Event.prototype.stopImmediatePropagation;
var toLowerCase = String.prototype.toLowerCase;

// The absolute address when |input| names an http(s) resource.
function webUrl(input) {
  var url = resolvedUrl(input);
  if (url === null) return null;
  var protocol = apply(urlProtocol, url, []);
  return protocol === 'http:' || protocol === 'https:' ? apply(urlHref, url, []) : null;
}
function bytesToBase64(buffer) {
  var bytes = construct(Uint8ArrayType, [buffer]);
  var text = '';
  for (var i = 0; i < bytes.length; i += 0x8000) {
    text += apply(fromCharCode, null, apply(subarray, bytes, [i, i + 0x8000]));
  }
  return apply(toBase64, window, [text]);
}
function base64ToBytes(text) {
  var binary = apply(fromBase64, window, [text]);
  var bytes = construct(Uint8ArrayType, [binary.length]);
  for (var i = 0; i < binary.length; i++) bytes[i] = apply(charCodeAt, binary, [i]);
  return bytes.buffer;
}
// Resolves with {base64, type} of a request body of any kind fetch() takes.
function encodeBody(body) {
  if (body === null || body === undefined) return PromiseType.resolve({base64: null, type: null});
  var response = construct(ResponseType, [body]);
  var type = apply(headersGet, apply(responseHeaders, response, []), ['content-type']);
  return apply(promiseThen, apply(responseBuffer, response, []), [function (buffer) {
    return {base64: bytesToBase64(buffer), type: type};
  }]);
}
// Has the program send the request; resolves with {status, statusText, url,
// headers, body (ArrayBuffer)}, rejects with a TypeError when no answer came.
function programRequest(method, url, headers, body) {
  return apply(promiseThen, encodeBody(body), [function (encoded) {
    var pairs = headers;
    if (encoded.type !== null) {
      var hasType = false;
      for (var i = 0; i < pairs.length; i++) {
        if (apply(toLowerCase, '' + pairs[i][0], []) === 'content-type') hasType = true;
      }
      if (!hasType) pairs[pairs.length] = ['Content-Type', encoded.type];
    }
    var text = apply(jsonStringify, null, [{method: method, url: url, headers: pairs,
                                            body: encoded.base64}]);
    return construct(PromiseType, [function (resolve, reject) {
      var failed = function () { reject(construct(TypeErrorType, ['Failed to fetch'])); };
      if (isTooLong(text, MAX_REQUEST_BYTES)) {
        failed();
        return;
      }
      var entry = createObject(null);
      entry.persistent = false;
      entry.onFailure = failed;
      entry.onSuccess = function (answer) {
        var parsed;
        try {
          parsed = apply(jsonParse, null, [answer]);
          parsed.body = base64ToBytes(parsed.body);
        } catch (e) {
          failed();
          return;
        }
        resolve(parsed);
      };
      var id = nextId++;
      pending[id] = entry;
      post(programRequestRecord(id, text));
    }]);
  }]);
}

function fetchThroughProgram(url, request) {
  var body = request.bodyIsPromise ? request.body : PromiseType.resolve(request.body);
  return apply(promiseThen, body, [function (resolved) {
    if (request.signal && apply(signalAborted, request.signal, [])) throw abortError();
    return apply(promiseThen, programRequest(request.method, url, request.headers, resolved),
                 [function (answer) {
      if (request.signal && apply(signalAborted, request.signal, [])) throw abortError();
      var headers = construct(HeadersType, []);
      for (var i = 0; i < answer.headers.length; i++) {
        try { apply(headersAppend, headers, answer.headers[i]); } catch (e) {}
      }
      var init = createObject(null);
      init.status = answer.status;
      init.statusText = answer.statusText;
      init.headers = headers;
      var response;
      try {
        response = construct(ResponseType, [
          isNullBodyStatus(answer.status) || request.method === 'HEAD' ? null : answer.body,
          init]);
      } catch (e) {
        throw construct(TypeErrorType, ['Failed to fetch']);
      }
      defineProperty(response, 'url', {value: answer.url || url});
      return response;
    }]);
  }]);
}

// An XMLHttpRequest of ours fails as a network error (state DONE, status 0) in
// the engine; the page's listeners do not hear of that failure, and hear of the
// program's answer instead, as if the request had gone through.
var xhrRequests = construct(WeakMapType, []);  // request -> what it asks
var ourEvents = construct(WeakMapType, []);
var xhrReadyState = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'readyState').get;
var xhrResponseType = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'responseType').get;
var xhrTimeout = Object.getOwnPropertyDescriptor(XMLHttpRequest.prototype, 'timeout').get;
function described(xhr) {
  return typeof xhr === 'object' && xhr !== null ? apply(weakGet, xhrRequests, [xhr]) : undefined;
}
function fire(xhr, type, loaded) {
  var init = createObject(null);
  init.lengthComputable = loaded !== undefined;
  init.loaded = loaded || 0;
  init.total = loaded || 0;
  var event = type === 'readystatechange' ? construct(EventType, [type]) :
              construct(ProgressEventType, [type, init]);
  apply(weakSet, ourEvents, [event, true]);
  apply(dispatch, xhr, [event]);
}
function settle(xhr, request, answer) {
  if (request.aborted) return;
  var own = function (name, value) {
    defineProperty(xhr, name, {value: value, configurable: true});
  };
  if (!answer) {
    fire(xhr, 'readystatechange');
    fire(xhr, 'error');
    fire(xhr, 'loadend');
    return;
  }
  var type = apply(xhrResponseType, xhr, []);
  var text = null;
  var response = null;
  if (type === '' || type === 'text' || type === 'json') {
    text = apply(decode, construct(DecoderType, []), [answer.body]);
    if (type === 'json') {
      try { response = apply(jsonParse, null, [text]); } catch (e) { response = null; }
    } else {
      response = text;
    }
  } else if (type === 'arraybuffer') {
    response = answer.body;
  } else if (type === 'blob') {
    var contentType = '';
    for (var i = 0; i < answer.headers.length; i++) {
      if (apply(toLowerCase, answer.headers[i][0], []) === 'content-type') {
        contentType = answer.headers[i][1];
      }
    }
    response = construct(BlobType, [[answer.body], {type: contentType}]);
  }
  var lines = '';
  for (var j = 0; j < answer.headers.length; j++) {
    lines += apply(toLowerCase, answer.headers[j][0], []) + ': ' + answer.headers[j][1] + '\r\n';
  }
  own('readyState', 4);
  own('status', answer.status);
  own('statusText', answer.statusText);
  own('responseURL', answer.url || request.url);
  own('response', response);
  if (type === '' || type === 'text') own('responseText', text);
  own('getAllResponseHeaders', function () { return lines; });
  own('getResponseHeader', function (name) {
    var wanted = apply(toLowerCase, '' + name, []);
    var found = null;
    for (var k = 0; k < answer.headers.length; k++) {
      if (apply(toLowerCase, answer.headers[k][0], []) === wanted) {
        found = found === null ? answer.headers[k][1] : found + ', ' + answer.headers[k][1];
      }
    }
    return found;
  });
  fire(xhr, 'readystatechange');
  fire(xhr, 'load', answer.body.byteLength);
  fire(xhr, 'loadend', answer.body.byteLength);
}
function guard(event) {
  var xhr = this;
  var request = described(xhr);
  if (!request || !request.url || apply(weakGet, ourEvents, [event])) return;
  if (request.takenOver) {
    apply(stopImmediate, event, []);
    return;
  }
  if (request.aborted || apply(xhrReadyState, xhr, []) !== 4 || apply(xhrStatus, xhr, []) !== 0) {
    return;
  }
  request.takenOver = true;
  apply(stopImmediate, event, []);
  apply(promiseThen, programRequest(request.method, request.url, request.headers, request.body),
        [function (answer) { settle(xhr, request, answer); },
         function () { settle(xhr, request, null); }]);
}
if (isAppDocument) {
  var XHRPrototype = XMLHttpRequest.prototype;
  var LumioXMLHttpRequest = function XMLHttpRequest() {
    var xhr = construct(XHRType, [], new.target || XHRType);
    // First of all listeners, so that a failure can be kept from the page's.
    var types = ['readystatechange', 'error', 'load', 'loadend', 'timeout'];
    for (var i = 0; i < types.length; i++) apply(listen, xhr, [types[i], guard]);
    apply(weakSet, xhrRequests, [xhr, createObject(null)]);
    return xhr;
  };
  LumioXMLHttpRequest.prototype = XHRPrototype;
  defineProperty(XHRPrototype, 'constructor', {value: LumioXMLHttpRequest, writable: true,
                                               configurable: true});
  var constants = ['UNSENT', 'OPENED', 'HEADERS_RECEIVED', 'LOADING', 'DONE'];
  for (var c = 0; c < constants.length; c++) {
    defineProperty(LumioXMLHttpRequest, constants[c], {value: c});
  }
  XHRPrototype.open = function (method, url) {
    var request = described(this);
    if (request) {
      request.url = arguments.length > 2 && arguments[2] === false ? null : webUrl(url);
      request.method = '' + method;
      request.headers = [];
      request.body = null;
      request.aborted = false;
      request.takenOver = false;
    }
    return apply(xhrOpen, this, arguments);
  };
  XHRPrototype.setRequestHeader = function (name, value) {
    var request = described(this);
    if (request && request.headers) request.headers[request.headers.length] = ['' + name, '' + value];
    return apply(xhrSetHeader, this, arguments);
  };
  XHRPrototype.send = function (body) {
    var request = described(this);
    if (request) {
      request.body = body === undefined ? null : body;
      // A page that set its own time limit hears of the engine's outcome.
      if (apply(xhrTimeout, this, []) > 0) request.url = null;
    }
    return apply(xhrSend, this, arguments);
  };
  XHRPrototype.abort = function () {
    var request = described(this);
    if (request) request.aborted = true;
    return apply(xhrAbort, this, arguments);
  };
  window.XMLHttpRequest = LumioXMLHttpRequest;
}
